// POSIX file layer for the archive reader.
//
// Sharing: Windows opens the archive with FILE_SHARE_READ, so no one may write or delete it
// while the player reads it. POSIX has no mandatory share modes; the nearest equivalent is an
// advisory shared lock (flock LOCK_SH): it keeps out writers that take an exclusive lock, and a
// file that such a writer holds fails to open, as a sharing violation would. Writers that take
// no lock are not stopped. vektool never rewrites an archive in place (it renames a finished
// file over the old one), so a reader keeps the bytes it opened.

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "archive/archive_file.h"

namespace {

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// wchar_t holds UTF-32 here. Returns false for a code point that UTF-8 cannot carry, or an
// embedded NUL (the path would silently end early).
bool Utf8FromWide(const wchar_t* path, std::string& out) {
    for (const wchar_t* p = path; *p != 0; ++p) {
        const auto c = static_cast<uint32_t>(*p);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        AppendUtf8(out, c);
    }
    return true;
}

int Descriptor(ArchiveFileHandle file) {
    return static_cast<int>(file);
}

}  // namespace

ArchiveFileHandle OpenArchiveFile(const wchar_t* path) {
    std::string narrow;
    if (path == nullptr || !Utf8FromWide(path, narrow)) return kInvalidArchiveFile;
    const int fd = ::open(narrow.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return kInvalidArchiveFile;
    struct stat info {};
    // CreateFileW without backup semantics refuses directories; refuse anything but a file.
    // Only a writer's lock refuses the file: where the file system keeps no locks, read anyway.
    const bool refused = ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
                         (::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK);
    if (refused) {
        ::close(fd);
        return kInvalidArchiveFile;
    }
    return fd;
}

bool ReadArchiveFile(ArchiveFileHandle file, void* buffer, uint32_t size, uint32_t& bytesRead) {
    // ReadFile on a disk file delivers everything up to the end of the file; read() may stop
    // early, so keep reading until the request is met or the file ends.
    bytesRead = 0;
    auto* out = static_cast<unsigned char*>(buffer);
    while (bytesRead < size) {
        const ssize_t got = ::read(Descriptor(file), out + bytesRead, size - bytesRead);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (got == 0) break;
        bytesRead += static_cast<uint32_t>(got);
    }
    return true;
}

bool SeekArchiveFile(ArchiveFileHandle file, int32_t position) {
    if (position < 0) return false;  // SetFilePointer refuses a negative position as well
    return ::lseek(Descriptor(file), position, SEEK_SET) == position;
}

bool TellArchiveFile(ArchiveFileHandle file, uint32_t& position) {
    const off_t at = ::lseek(Descriptor(file), 0, SEEK_CUR);
    if (at < 0 || at > static_cast<off_t>(UINT32_MAX)) return false;
    position = static_cast<uint32_t>(at);
    return true;
}

bool ArchiveFileSize(ArchiveFileHandle file, uint64_t& size) {
    struct stat info {};
    if (::fstat(Descriptor(file), &info) != 0) return false;
    size = static_cast<uint64_t>(info.st_size);
    return true;
}

void CloseArchiveFile(ArchiveFileHandle file) {
    if (file != kInvalidArchiveFile) ::close(Descriptor(file));
}

bool ArchiveFileExists(const wchar_t* path) {
    std::string narrow;
    if (path == nullptr || !Utf8FromWide(path, narrow) || narrow.empty()) return false;
    struct stat info {};
    // A path that cannot be looked at (a folder without search rights) is not called missing.
    return ::stat(narrow.c_str(), &info) == 0 || errno != ENOENT;
}

std::wstring WidePathFromNative(const std::string& path) {
    // Decode UTF-8; a byte that does not start a complete sequence becomes U+FFFD, so that the
    // open fails rather than reaching a different file.
    std::wstring out;
    size_t i = 0;
    while (i < path.size()) {
        const auto lead = static_cast<unsigned char>(path[i]);
        const size_t length = lead < 0x80           ? 1
                              : (lead >> 5) == 0x06 ? 2
                              : (lead >> 4) == 0x0E ? 3
                              : (lead >> 3) == 0x1E ? 4
                                                    : 0;
        uint32_t c = length == 1 ? lead : lead & (0x7F >> length);
        bool valid = length != 0 && i + length <= path.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(path[i + k]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        out += static_cast<wchar_t>(valid ? c : 0xFFFD);
        i += valid ? length : 1;
    }
    return out;
}
