// Win32 file layer for the archive reader.

#include <windows.h>

#include "archive/archive_file.h"

namespace {

HANDLE AsHandle(ArchiveFileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

}  // namespace

ArchiveFileHandle OpenArchiveFile(const wchar_t* path) {
    if (path == nullptr) return kInvalidArchiveFile;
    // Others may read the archive but not write or delete it while the player has it open.
    const HANDLE file =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return kInvalidArchiveFile;
    return reinterpret_cast<ArchiveFileHandle>(file);
}

bool ReadArchiveFile(ArchiveFileHandle file, void* buffer, uint32_t size, uint32_t& bytesRead) {
    DWORD got = 0;
    const BOOL ok = ReadFile(AsHandle(file), buffer, size, &got, nullptr);
    bytesRead = got;
    return ok != FALSE;
}

bool SeekArchiveFile(ArchiveFileHandle file, int32_t position) {
    return SetFilePointer(AsHandle(file), position, nullptr, FILE_BEGIN) !=
           INVALID_SET_FILE_POINTER;
}

bool TellArchiveFile(ArchiveFileHandle file, uint32_t& position) {
    const DWORD at = SetFilePointer(AsHandle(file), 0, nullptr, FILE_CURRENT);
    if (at == INVALID_SET_FILE_POINTER) return false;
    position = at;
    return true;
}

bool ArchiveFileSize(ArchiveFileHandle file, uint64_t& size) {
    LARGE_INTEGER value{};
    if (!GetFileSizeEx(AsHandle(file), &value) || value.QuadPart < 0) return false;
    size = static_cast<uint64_t>(value.QuadPart);
    return true;
}

void CloseArchiveFile(ArchiveFileHandle file) {
    if (file != kInvalidArchiveFile) CloseHandle(AsHandle(file));
}

bool ArchiveFileExists(const wchar_t* path) {
    if (path == nullptr || *path == L'\0') return false;
    if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) return true;
    // Only a missing file or folder is called missing; a refused look is not.
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
           error != ERROR_INVALID_NAME && error != ERROR_BAD_NETPATH;
}

std::wstring WidePathFromNative(const std::string& path) {
    // Command-line arguments and the C library's file names use the ANSI code page here.
    if (path.empty()) return {};
    const int length =
        MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(),
                            length);
    }
    return wide;
}
