#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Paths inside vektool are UTF-8 on every platform. On Windows every call below is the wide
// one, so that any name works whatever the system's code page; elsewhere the bytes go to the
// system unchanged.

// The program's arguments as UTF-8 (on Windows read again from the wide command line: the
// narrow argv holds '?' for every character outside the ANSI code page).
std::vector<std::string> Utf8Arguments(int argc, char** argv);

std::filesystem::path PathOf(const std::string& utf8);
std::string Utf8Of(const std::filesystem::path& path);

// The path as the archive reader takes it.
std::wstring ArchivePathOf(const std::string& utf8);

// fopen's modes "rb", "wb" and "w+b".
std::FILE* OpenFile(const std::string& path, const char* mode);

// Creates a new file for reading and writing that must not exist yet. While it stays open it
// counts as in use (FileInUse), and the process itself may still remove it (an interrupt's
// clean-up does so from another thread). Null when the file exists or cannot be made.
std::FILE* CreateScratchFile(const std::string& path);

// True while some process holds the file open as CreateScratchFile leaves it.
bool FileInUse(const std::string& path);

// True when a directory entry of any kind is at the path, readable or not.
bool PathExists(const std::string& path);
bool IsFolder(const std::string& path);
bool RemoveFile(const std::string& path);

// Seconds since the file was last written; negative when it cannot be told.
double SecondsSinceWritten(const std::string& path);

// Puts the finished file `from` in the place of `to` in one step, replacing any file there.
bool ReplaceFileAtomically(const std::string& from, const std::string& to);

// Puts the finished file `from` in the place of `to` and keeps the file that was at `to` as
// `backup` (which must not exist). Where the file system has hard links, `to` names a whole
// file at every moment: the backup is linked first, then `from` replaces `to` in one step.
bool ReplaceKeepingBackup(const std::string& from, const std::string& to,
                          const std::string& backup);

#ifdef _WIN32
std::wstring WideOf(std::string_view utf8);
std::string Utf8OfWide(std::wstring_view wide);
#endif

// Writes text given in UTF-8: to a console as its characters (WriteConsoleW on Windows),
// anywhere else (a pipe, a file) as the UTF-8 bytes.
void PrintText(std::FILE* stream, std::string_view utf8);
