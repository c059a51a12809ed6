#include "pack_output.h"

#include <cstdlib>
#include <filesystem>

#include "playback/archive_argument.h"

std::string DefaultPackFolder(std::string_view programPath, std::string_view userArchive,
                              const std::function<bool(const std::string&)>& isFolder) {
    const size_t slash = programPath.find_last_of('/');
    if (slash == std::string_view::npos || userArchive.empty()) return "";
    const std::string_view folder = programPath.substr(0, slash);
    const size_t parent = folder.find_last_of('/');
    if (parent == std::string_view::npos || folder.substr(parent + 1) != "bin") return "";
    if (!isFolder(std::string(folder.substr(0, parent)) + "/share/noctiva")) return "";
    return std::string(userArchive.substr(0, userArchive.find_last_of('/')));
}

std::string DefaultPackFolder() {
    std::error_code error;
    // Linux names the running program here; elsewhere nothing is there and -o is needed.
    const std::string program = std::filesystem::read_symlink("/proc/self/exe", error).string();
    const std::string user = UserArchivePath(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    return DefaultPackFolder(program, user, [](const std::string& path) {
        std::error_code ignored;
        return std::filesystem::is_directory(path, ignored);
    });
}
