#include "windows/system_paths.h"

std::wstring ModuleFilePath(HMODULE module) {
    // GetModuleFileNameW says nothing of the length it needs: it cuts the path and returns the
    // buffer's size, so the buffer grows until the path fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 0x8000) return {};  // past the longest path Windows knows
        path.resize(path.size() * 2);
    }
}

std::wstring CurrentDirectoryPath() {
    // The directory may change between the two calls: the second one then asks for more again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD needed = GetCurrentDirectoryW(0, nullptr);  // with the final zero
        if (needed == 0) return {};
        std::wstring path(needed, L'\0');
        const DWORD length = GetCurrentDirectoryW(needed, path.data());
        if (length == 0) return {};
        if (length < needed) {
            path.resize(length);
            return path;
        }
    }
    return {};
}
