// The archive a player plays: the one named on its command line, else vek.bin beside it.
#pragma once

#include <span>
#include <string>
#include <string_view>

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
