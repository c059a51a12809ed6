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

namespace {

bool IsUsableDirectory(const char* path) {
    return path != nullptr && IsAbsoluteArchivePath(std::string_view(path));
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

std::string UserArchivePath(const char* xdgDataHome, const char* home) {
    if (IsUsableDirectory(xdgDataHome)) {
        return WithoutTrailingSlashes(xdgDataHome) + "/noctiva/vek.bin";
    }
    if (IsUsableDirectory(home)) {
        const std::string base = WithoutTrailingSlashes(home);
        return (base == "/" ? "" : base) + "/.local/share/noctiva/vek.bin";
    }
    return "";
}

std::vector<std::string> ArchivePlaces(std::string_view besideProgram,
                                       std::string_view userArchive) {
    std::vector<std::string> places{std::string(besideProgram)};
    if (!userArchive.empty()) places.emplace_back(userArchive);
    places.emplace_back(kInstalledDemoArchive);
    return places;
}

std::string FirstExistingArchive(const std::vector<std::string>& places,
                                 const std::function<bool(const std::string&)>& exists) {
    for (const std::string& place : places) {
        if (exists(place)) return place;
    }
    return "";
}

std::string NoArchiveFoundReason(const std::vector<std::string>& places) {
    std::string reason = "not found; looked for ";
    for (size_t i = 0; i < places.size(); ++i) {
        if (i > 0) reason += i + 1 == places.size() ? " and " : ", ";
        reason += places[i];
    }
    return reason;
}
