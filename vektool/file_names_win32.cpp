#include <fcntl.h>
#include <io.h>
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>

#include <cstring>

#include "file_names.h"

std::wstring WideOf(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                            length);
    }
    return wide;
}

std::string Utf8OfWide(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(),
                            length, nullptr, nullptr);
    }
    return text;
}

namespace {

// A C stream over a handle that CreateFileW opened.
std::FILE* StreamOfHandle(HANDLE handle, int flags, const char* mode) {
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(descriptor, mode);
    if (file == nullptr) _close(descriptor);
    return file;
}

}  // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(Utf8OfWide(wide[i]));
    LocalFree(wide);
    return arguments;
}

std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(WideOf(utf8));
}

std::string Utf8Of(const std::filesystem::path& path) {
    return Utf8OfWide(path.native());
}

std::wstring ArchivePathOf(const std::string& utf8) {
    return WideOf(utf8);
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
    const std::wstring wide = WideOf(path);
    if (std::strcmp(mode, "rb") == 0) {
        return StreamOfHandle(
            CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
            _O_RDONLY, "rb");
    }
    const bool update = std::strcmp(mode, "w+b") == 0;
    return StreamOfHandle(
        CreateFileW(wide.c_str(), GENERIC_WRITE | (update ? GENERIC_READ : 0), FILE_SHARE_READ,
                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr),
        update ? _O_RDWR : _O_WRONLY, update ? "w+b" : "wb");
}

std::FILE* CreateScratchFile(const std::string& path) {
    // FILE_SHARE_DELETE: the console's control handler, on a thread of its own, removes the
    // file while this stream still holds it.
    return StreamOfHandle(CreateFileW(WideOf(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr),
                          _O_RDWR, "w+b");
}

bool FileInUse(const std::string& path) {
    const HANDLE handle = CreateFileW(WideOf(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

bool PathExists(const std::string& path) {
    return GetFileAttributesW(WideOf(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(WideOf(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool RemoveFile(const std::string& path) {
    return DeleteFileW(WideOf(path).c_str()) != 0;
}

double SecondsSinceWritten(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(WideOf(path).c_str(), GetFileExInfoStandard, &data)) return -1;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& time) {
        return (uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime);
    };
    return (double(ticks(now)) - double(ticks(data.ftLastWriteTime))) / 1e7;
}

bool ReplaceFileAtomically(const std::string& from, const std::string& to) {
    return MoveFileExW(WideOf(from).c_str(), WideOf(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool ReplaceKeepingBackup(const std::string& from, const std::string& to,
                          const std::string& backup) {
    const std::wstring wideFrom = WideOf(from), wideTo = WideOf(to), wideBackup = WideOf(backup);
    if (CreateHardLinkW(wideBackup.c_str(), wideTo.c_str(), nullptr)) {
        if (MoveFileExW(wideFrom.c_str(), wideTo.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        DeleteFileW(wideBackup.c_str());
        return false;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) return false;
    // No hard links here (FAT, exFAT, some network shares): the system's own replacement.
    return ReplaceFileW(wideTo.c_str(), wideFrom.c_str(), wideBackup.c_str(),
                        REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
}

void PrintText(std::FILE* stream, std::string_view utf8) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
        std::fwrite(utf8.data(), 1, utf8.size(), stream);
        return;
    }
    // A console shows characters, not bytes of a code page: text of any script comes out.
    std::fflush(stream);
    const std::wstring wide = WideOf(utf8);
    DWORD written = 0;
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}
