#include "playback/archive_argument.h"

bool IsAbsoluteArchivePath(std::wstring_view path) {
    if (path.empty()) return false;
    if (path[0] == L'\\' || path[0] == L'/') return true;  // \\server\share, \folder
    // A drive letter: "C:\..." and also "C:name", which Windows keeps per drive.
    return path.size() >= 2 && path[1] == L':' &&
           ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
}

bool IsAbsoluteArchivePath(std::string_view path) {
    return !path.empty() && path[0] == '/';
}

std::wstring ArchivePathBeside(std::wstring_view programPath) {
    const size_t end = programPath.find_last_of(L"\\/:");
    const std::wstring_view directory =
        end == std::wstring_view::npos ? std::wstring_view() : programPath.substr(0, end + 1);
    return std::wstring(directory) + L"vek.bin";
}

std::string ArchivePathBeside(std::string_view programPath) {
    const size_t end = programPath.find_last_of('/');
    const std::string_view directory =
        end == std::string_view::npos ? std::string_view("./") : programPath.substr(0, end + 1);
    return std::string(directory) + "vek.bin";
}
