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
