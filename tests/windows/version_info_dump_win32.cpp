// Prints the version resource of each program named on the command line as Explorer reads it:
// the fixed file and product versions, then each string of the first translation, one
// "Name=Value" line each. tests/e2e/package_e2e.sh compares them with the project's version.
//
//   version_info_dump.exe PROGRAM...
//
// Exit status 1 when a program has no version resource.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    return result;
}

std::string FourPart(DWORD high, DWORD low) {
    char text[64];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", unsigned{HIWORD(high)}, unsigned{LOWORD(high)},
                  unsigned{HIWORD(low)}, unsigned{LOWORD(low)});
    return text;
}

bool DumpVersionInfo(const wchar_t* path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0) return false;
    std::string data(size, '\0');
    if (!GetFileVersionInfoW(path, 0, size, data.data())) return false;

    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO)) {
        return false;
    }
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    std::printf("FixedFileVersion=%s\n",
                FourPart(fixed->dwFileVersionMS, fixed->dwFileVersionLS).c_str());
    std::printf("FixedProductVersion=%s\n",
                FourPart(fixed->dwProductVersionMS, fixed->dwProductVersionLS).c_str());

    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length) ||
        length < 4) {
        return false;
    }
    const WORD* translation = static_cast<const WORD*>(value);
    const wchar_t* names[] = {L"FileDescription",  L"FileVersion", L"LegalCopyright",
                              L"OriginalFilename", L"ProductName", L"ProductVersion"};
    for (const wchar_t* name : names) {
        wchar_t query[128];
        swprintf(query, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translation[0], translation[1],
                 name);
        const bool found = VerQueryValueW(data.data(), query, &value, &length) && length > 0;
        std::printf("%s=%s\n", Utf8(name).c_str(),
                    found ? Utf8(static_cast<const wchar_t*>(value)).c_str() : "");
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        std::printf("[%s]\n", Utf8(argv[i]).c_str());
        if (!DumpVersionInfo(argv[i])) {
            std::printf("no version resource\n");
            status = 1;
        }
    }
    return status;
}
