#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "archive/archive_file.h"
#include "file_names.h"

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(utf8);
}

std::string Utf8Of(const std::filesystem::path& path) {
    return path.string();
}

std::wstring ArchivePathOf(const std::string& utf8) {
    return WidePathFromNative(utf8);
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

std::FILE* CreateScratchFile(const std::string& path) {
    const int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (descriptor < 0) return nullptr;
    // The lock tells a later pack that the file is still being written.
    flock(descriptor, LOCK_EX | LOCK_NB);
    std::FILE* file = fdopen(descriptor, "w+b");
    if (file == nullptr) {
        close(descriptor);
        unlink(path.c_str());
    }
    return file;
}

bool FileInUse(const std::string& path) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return false;
    const bool locked = flock(descriptor, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(descriptor);
    return locked;
}

bool PathExists(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0;
}

bool IsFolder(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool RemoveFile(const std::string& path) {
    return unlink(path.c_str()) == 0;
}

double SecondsSinceWritten(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return -1;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return double(now.tv_sec - status.st_mtim.tv_sec) +
           double(now.tv_nsec - status.st_mtim.tv_nsec) / 1e9;
}

bool ReplaceFileAtomically(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool ReplaceKeepingBackup(const std::string& from, const std::string& to,
                          const std::string& backup) {
    if (link(to.c_str(), backup.c_str()) == 0) {
        if (std::rename(from.c_str(), to.c_str()) == 0) return true;
        unlink(backup.c_str());
        return false;
    }
    if (errno == EEXIST) return false;
    // No hard links here (FAT, some network shares): two renames, with a moment without `to`.
    if (PathExists(backup) || std::rename(to.c_str(), backup.c_str()) != 0) return false;
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    std::rename(backup.c_str(), to.c_str());
    return false;
}

void PrintText(std::FILE* stream, std::string_view utf8) {
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
}
