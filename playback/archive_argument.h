// The archive a player plays: the one named on its command line, else vek.bin beside it, or
// for an installed player the first that exists of that, the user's own and the demo.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

template <typename Char>
struct ArchiveChoice {
    bool tooMany = false;  // more than one argument: a failure to tell
    int count = 0;         // the arguments given
    std::basic_string<Char> path;
};

// True for a path that does not depend on the current directory: on Windows (wide characters)
// one that starts with a separator or a drive letter, elsewhere one that starts with '/'.
bool IsAbsoluteArchivePath(std::wstring_view path);
bool IsAbsoluteArchivePath(std::string_view path);

// vek.bin beside a program at `programPath`: its directory (on Windows with the drive, as
// splitting the path gives them, the trailing separator kept) followed by "vek.bin". A path
// without a directory gives "vek.bin" on Windows and "./vek.bin" elsewhere.
std::wstring ArchivePathBeside(std::wstring_view programPath);
std::string ArchivePathBeside(std::string_view programPath);

// From the arguments after the program's name: none gives `besideProgram`; one gives that path,
// taken from `currentDirectory` when relative; more than one is a failure.
template <typename Char>
ArchiveChoice<Char> ChooseArchive(std::span<const std::basic_string<Char>> arguments,
                                  std::basic_string_view<Char> currentDirectory,
                                  std::basic_string_view<Char> besideProgram) {
    ArchiveChoice<Char> choice;
    choice.count = int(arguments.size());
    if (arguments.empty()) {
        choice.path = besideProgram;
        return choice;
    }
    if (arguments.size() > 1) {
        choice.tooMany = true;
        return choice;
    }
    const std::basic_string<Char>& given = arguments.front();
    if (IsAbsoluteArchivePath(std::basic_string_view<Char>(given)) || currentDirectory.empty()) {
        choice.path = given;
        return choice;
    }
    const Char separator = sizeof(Char) == sizeof(wchar_t) ? Char('\\') : Char('/');
    choice.path = currentDirectory;
    const Char last = choice.path.back();
    if (last != separator && last != Char('/')) choice.path += separator;
    choice.path += given;
    return choice;
}

// The user's own archive, where an installed vektool packs and an installed player looks:
// $XDG_DATA_HOME/noctiva/vek.bin, or ~/.local/share/noctiva/vek.bin when XDG_DATA_HOME is unset,
// empty or relative (the XDG rule). Empty when HOME is needed and unset or relative too. Either
// variable may be null.
std::string UserArchivePath(const char* xdgDataHome, const char* home);

// The demo that the Linux package installs.
inline constexpr const char* kInstalledDemoArchive = "/usr/share/noctiva/vek.bin";

// Where a Linux player given no archive looks, in order: beside the program, the user's own
// (when there is one), the installed demo.
std::vector<std::string> ArchivePlaces(std::string_view besideProgram,
                                       std::string_view userArchive);

// The first of `places` that `exists`, or empty.
std::string FirstExistingArchive(const std::vector<std::string>& places,
                                 const std::function<bool(const std::string&)>& exists);

// The failure's reason when none of `places` exists: "not found; looked for A, B and C".
std::string NoArchiveFoundReason(const std::vector<std::string>& places);
