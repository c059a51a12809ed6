// Paths longer than MAX_PATH come back whole: the current directory deep in a folder tree, and
// the program's own file.
#include <windows.h>
// The platform headers below need the types of <windows.h>.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "windows/system_paths.h"
#include "windows/text_conversion.h"

namespace {

TEST(SystemPaths, TheProgramsOwnFile) {
    std::wstring expected(32768, L'\0');
    expected.resize(GetModuleFileNameW(nullptr, expected.data(), DWORD(expected.size())));
    const std::wstring path = ModuleFilePath();
    EXPECT_EQ(Utf8FromWide(path), Utf8FromWide(expected));
    EXPECT_EQ(path.substr(path.size() - 4), L".exe");
}

// A current directory of about 400 characters, each folder's name in Japanese and with emoji.
TEST(SystemPaths, ACurrentDirectoryLongerThanMaxPath) {
    std::wstring base(MAX_PATH + 1, L'\0');
    base.resize(GetTempPathW(DWORD(base.size()), base.data()));
    std::wstring deep = base + L"noctiva-long-path";
    CreateDirectoryW(deep.c_str(), nullptr);
    std::vector<std::wstring> made;
    const std::wstring folder = L"\\影絵 🎬 " + std::wstring(40, L'x');
    while (deep.size() <= 400) {
        deep += folder;
        if (!CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr) &&
            GetLastError() != ERROR_ALREADY_EXISTS) {
            break;
        }
        made.push_back(deep);
    }
    const std::wstring before = CurrentDirectoryPath();
    const bool madeAll = deep.size() > 400 && !made.empty() && made.back() == deep;
    const bool entered = madeAll && SetCurrentDirectoryW(deep.c_str());
    const DWORD error = GetLastError();
    const std::wstring current = entered ? CurrentDirectoryPath() : std::wstring();
    SetCurrentDirectoryW(before.c_str());
    for (auto it = made.rbegin(); it != made.rend(); ++it) {
        RemoveDirectoryW((L"\\\\?\\" + *it).c_str());
    }
    RemoveDirectoryW((L"\\\\?\\" + base + L"noctiva-long-path").c_str());
    if (!entered) {
        GTEST_SKIP() << "this system refuses a current directory of " << deep.size()
                     << " characters (" << (madeAll ? "entering" : "making") << " it: error "
                     << error << ")";
    }
    EXPECT_EQ(Utf8FromWide(current), Utf8FromWide(deep)) << "length " << deep.size();
    EXPECT_GT(current.size(), size_t{MAX_PATH});
}

}  // namespace
