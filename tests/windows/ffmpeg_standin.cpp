// Stands in for ffmpeg.exe beside vektool.exe: writes the command line it was given, as UTF-8,
// to ffmpeg-arguments.txt beside itself (one argument a line, as CommandLineToArgvW splits
// it), and answers with a two-frame grey YUV4MPEG2 stream, so that the pack goes on.

#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* wide) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string text(length > 0 ? length - 1 : 0, '\0');
    if (length > 1)
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), length, nullptr, nullptr);
    return text;
}

std::wstring OwnFolder() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), DWORD(path.size())));
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

}  // namespace

int wmain() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::FILE* record = _wfopen((OwnFolder() + L"ffmpeg-arguments.txt").c_str(), L"wb");
    if (record == nullptr || arguments == nullptr) return 3;
    for (int i = 0; i < count; ++i) std::fprintf(record, "%s\n", Utf8(arguments[i]).c_str());
    std::fclose(record);
    _setmode(_fileno(stdout), _O_BINARY);
    const char header[] = "YUV4MPEG2 W4 H2 F30:1 Ip A1:1 Cmono XCOLORRANGE=FULL\n";
    std::fwrite(header, 1, sizeof header - 1, stdout);
    for (const unsigned char value : {40, 200}) {
        const unsigned char frame[8] = {value, value, value, value, value, value, value, value};
        std::fputs("FRAME\n", stdout);
        std::fwrite(frame, 1, sizeof frame, stdout);
    }
    return 0;
}
