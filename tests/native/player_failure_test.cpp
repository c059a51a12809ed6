// The failures a player tells: the archive it chooses from its arguments, the words of the
// reasons (vektool's), and the message patterns filled with the file and the reason.
#include "playback/player_failure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/archive_failure.h"
#include "archive_test_support.h"
#include "playback/archive_argument.h"

namespace {

using namespace archive_test;

TEST(ArchiveArgument, NoneOneOrTooManyOnBothPlatforms) {
    struct Case {
        std::vector<std::string> arguments;
        const char* currentDirectory;
        const char* expected;  // the path chosen, or "!" for too many
    };
    const Case posix[] = {
        {{}, "/home/u", "/opt/noctiva/vek.bin"},
        {{"other.bin"}, "/home/u", "/home/u/other.bin"},
        {{"../a/b.vek"}, "/home/u/", "/home/u/../a/b.vek"},
        {{"/srv/x.bin"}, "/home/u", "/srv/x.bin"},
        {{"x.bin"}, "", "x.bin"},  // no current directory known: left to the system
        {{"a.bin", "b.bin"}, "/home/u", "!"},
        {{"a", "b", "c"}, "/", "!"},
    };
    for (const Case& c : posix) {
        const ArchiveChoice<char> choice =
            ChooseArchive<char>(c.arguments, c.currentDirectory, "/opt/noctiva/vek.bin");
        const std::string shown = choice.tooMany ? "!" : choice.path;
        EXPECT_EQ(shown, c.expected)
            << c.arguments.size() << " arguments in " << c.currentDirectory;
        EXPECT_EQ(choice.count, int(c.arguments.size()));
    }

    struct WideCase {
        std::vector<std::wstring> arguments;
        const wchar_t* expected;
    };
    const WideCase windows[] = {
        {{}, L"C:\\Noctiva\\vek.bin"},
        {{L"other.bin"}, L"C:\\Users\\u\\other.bin"},
        {{L"sub/x.bin"}, L"C:\\Users\\u\\sub/x.bin"},
        {{L"D:\\Anime\\a.bin"}, L"D:\\Anime\\a.bin"},
        {{L"d:rel.bin"}, L"d:rel.bin"},  // per-drive current directory: the system's to resolve
        {{L"\\\\server\\share\\a.bin"}, L"\\\\server\\share\\a.bin"},
        {{L"\\root.bin"}, L"\\root.bin"},
        {{L"a.bin", L"b.bin"}, L"!"},
    };
    for (const WideCase& c : windows) {
        const ArchiveChoice<wchar_t> choice =
            ChooseArchive<wchar_t>(c.arguments, L"C:\\Users\\u", L"C:\\Noctiva\\vek.bin");
        const std::wstring shown = choice.tooMany ? L"!" : choice.path;
        EXPECT_EQ(shown, c.expected) << c.arguments.size() << " arguments";
    }
}

TEST(ArchiveArgument, BesideTheProgramIsItsDirectoryPlusVekBin) {
    struct WideCase {
        const wchar_t* program;
        const wchar_t* archive;
    };
    const WideCase windows[] = {
        {L"C:\\Tools\\app.exe", L"C:\\Tools\\vek.bin"},
        {L"C:\\app.exe", L"C:\\vek.bin"},
        {L"D:\\a b\\c.d\\noctiva.exe", L"D:\\a b\\c.d\\vek.bin"},
        {L"\\\\server\\share\\bin\\x.exe", L"\\\\server\\share\\bin\\vek.bin"},
        {L"Z:/unix/style/p.exe", L"Z:/unix/style/vek.bin"},
        {L"C:app.exe", L"C:vek.bin"},
        {L"app.exe", L"vek.bin"},
    };
    for (const WideCase& c : windows) {
        EXPECT_EQ(ArchivePathBeside(std::wstring_view(c.program)), c.archive)
            << "program " << testing::PrintToString(c.program);
    }
    struct NarrowCase {
        const char* program;
        const char* archive;
    };
    const NarrowCase posix[] = {
        {"/usr/bin/noctiva", "/usr/bin/vek.bin"},
        {"/noctiva", "/vek.bin"},
        {"/opt/影絵 🎬/a:b\\noctiva", "/opt/影絵 🎬/vek.bin"},
        {"noctiva", "./vek.bin"},
        {"", "./vek.bin"},  // the program's path could not be read
    };
    for (const NarrowCase& c : posix) {
        EXPECT_EQ(ArchivePathBeside(std::string_view(c.program)), c.archive)
            << "program " << c.program;
    }
}

TEST(ArchiveLookup, TheUserArchiveFollowsXdgDataHomeThenHome) {
    struct Case {
        const char* xdgDataHome;  // null: unset
        const char* home;
        const char* expected;
    };
    const Case cases[] = {
        {nullptr, "/home/u", "/home/u/.local/share/noctiva/vek.bin"},
        {"", "/home/u/", "/home/u/.local/share/noctiva/vek.bin"},
        {"relative/data", "/home/u", "/home/u/.local/share/noctiva/vek.bin"},  // ignored
        {"/data/", "/home/u", "/data/noctiva/vek.bin"},
        {"/d 影 🎬", nullptr, "/d 影 🎬/noctiva/vek.bin"},
        {nullptr, "/", "/.local/share/noctiva/vek.bin"},
        {nullptr, nullptr, ""},
        {"", "", ""},
        {nullptr, "home", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UserArchivePath(c.xdgDataHome, c.home), c.expected)
            << "XDG_DATA_HOME " << (c.xdgDataHome ? c.xdgDataHome : "(unset)") << ", HOME "
            << (c.home ? c.home : "(unset)");
    }
}

TEST(ArchiveLookup, FirstThatExistsOfBesideUserAndDemo) {
    const std::string beside = "/usr/bin/vek.bin", user = "/home/u/.local/share/noctiva/vek.bin",
                      demo = "/usr/share/noctiva/vek.bin";
    struct Case {
        std::vector<std::string> existing;
        std::string userArchive;
        std::string expected;
    };
    const Case cases[] = {
        {{beside, user, demo}, user, beside},
        {{user, demo}, user, user},
        {{demo}, user, demo},
        {{user}, user, user},
        {{demo, user}, "", demo},  // no user archive known: not looked for
        {{}, user, ""},
        {{"/elsewhere/vek.bin"}, user, ""},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> places = ArchivePlaces(beside, c.userArchive);
        const auto exists = [&](const std::string& path) {
            return std::find(c.existing.begin(), c.existing.end(), path) != c.existing.end();
        };
        EXPECT_EQ(FirstExistingArchive(places, exists), c.expected)
            << c.existing.size() << " existing, user archive '" << c.userArchive << "'";
    }
}

TEST(ArchiveLookup, NoneFoundNamesEveryPlaceLookedIn) {
    struct Case {
        std::string userArchive;
        const char* expected;  // the failure's line
    };
    const Case cases[] = {
        {"/h/.local/share/noctiva/vek.bin",
         "/h/.local/share/noctiva/vek.bin: not found; looked for /opt/n/vek.bin, "
         "/h/.local/share/noctiva/vek.bin and /usr/share/noctiva/vek.bin"},
        {"", "/opt/n/vek.bin: not found; looked for /opt/n/vek.bin and /usr/share/noctiva/vek.bin"},
    };
    for (const Case& c : cases) {
        const PlayerFailure failure =
            NoArchiveFailure(c.userArchive, ArchivePlaces("/opt/n/vek.bin", c.userArchive));
        EXPECT_EQ(failure.kind, FailureKind::Archive);
        EXPECT_EQ(FailureLine(failure), c.expected) << "user archive '" << c.userArchive << "'";
    }
}

TEST(FailureWords, OpenAndFrameReasonsAreVektoolsWords) {
    struct Case {
        OpenStatus status;
        bool exists;
        const char* expected;
    };
    const Case cases[] = {
        {OpenStatus::CannotOpen, false, "not found"},
        {OpenStatus::CannotOpen, true, "cannot open the file for reading"},
        {OpenStatus::HeaderCutShort, true,
         "not a frame archive (file shorter than its 16-byte header)"},
        {OpenStatus::TooManyFrames, true, "not a frame archive (frame count above 536870911)"},
        {OpenStatus::IndexBeyondEnd, true,
         "not a frame archive (index reaches beyond the end of the file)"},
        {OpenStatus::IndexCutShort, true, "not a frame archive (index cut short)"},
        {OpenStatus::OutOfMemory, true, "not enough memory for the index"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OpenFailureReason(c.status, c.exists), c.expected)
            << int(c.status) << (c.exists ? " existing" : " missing");
    }
    EXPECT_EQ(FrameFailureReason(12, FrameStatus{FrameError::Damaged, "incorrect data check"}),
              "frame 12 cannot be decoded: wrong Adler-32 checksum");
}

TEST(FailureWords, TheArchiveIsLookedAtBeforePlaying) {
    TempFile good(ArchiveOf(4, 3, {Deflate(Bytes(12, 1))}));
    TempFile empty(ArchiveOf(4, 3, {}));
    TempFile shortFile(Bytes(7, 0));
    struct Case {
        std::filesystem::path path;
        const char* reason;  // "" when it opens
    };
    const Case cases[] = {
        {good.path, ""},
        {empty.path, "archive holds no frames"},
        {shortFile.path, "not a frame archive (file shorter than its 16-byte header)"},
        {good.directory / "missing.vek", "not found"},
        {good.directory, "cannot open the file for reading"},  // a folder is there
    };
    for (const Case& c : cases) {
        PlayerFailure failure;
        const bool opens = ArchiveCanBeOpened(TempFile::WideOf(c.path).c_str(), "shown", failure);
        EXPECT_EQ(opens, *c.reason == '\0') << c.path;
        if (opens) continue;
        EXPECT_EQ(failure.kind, FailureKind::Archive) << c.path;
        EXPECT_EQ(FailureLine(failure), std::string("shown: ") + c.reason) << c.path;
    }
}

TEST(FailureMessage, PatternsTakeTheFileAndTheReason) {
    struct Case {
        const char* pattern;
        const char* expected;
    };
    const Case cases[] = {
        {"File: %1\r\nReason: %2", "File: C:\\a b.bin\r\nReason: not found"},
        {"vektool check \"%1\" (%1)", "vektool check \"C:\\a b.bin\" (C:\\a b.bin)"},
        {"100%% %3 %", "100% %3 %"},
        {"%2%1", "not foundC:\\a b.bin"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FillFailureMessage<char>(c.pattern, "C:\\a b.bin", "not found"), c.expected)
            << c.pattern;
    }
    EXPECT_EQ(FillFailureMessage<wchar_t>(L"ファイル: %1 理由: %2", L"影.bin", L"x"),
              L"ファイル: 影.bin 理由: x");

    EXPECT_EQ(FailureLine(ArchiveFailure("/a/vek.bin", "not found")), "/a/vek.bin: not found");
    EXPECT_EQ(FailureLine(PlaybackFailure("no memory")), "no memory");
    EXPECT_EQ(FailureLine(ArgumentsFailure(3)), "3 archives given; at most one can be played");

    // The kind travels by name to the process that shows the Linux dialog.
    for (FailureKind kind : {FailureKind::Archive, FailureKind::Playback, FailureKind::Arguments}) {
        FailureKind back = FailureKind::Playback;
        EXPECT_TRUE(FailureKindFromName(FailureKindName(kind), back)) << FailureKindName(kind);
        EXPECT_EQ(back, kind) << FailureKindName(kind);
    }
    FailureKind unchanged = FailureKind::Arguments;
    EXPECT_FALSE(FailureKindFromName("Archive", unchanged));
    EXPECT_EQ(unchanged, FailureKind::Arguments);
}

}  // namespace
