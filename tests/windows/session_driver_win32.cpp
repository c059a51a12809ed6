// The other programs of a desktop session, for the player's end-to-end runs under Wine:
//
//   session_driver.exe cover MILLISECONDS   a borderless window over the whole primary monitor
//                                           that takes the foreground, for that long
//   session_driver.exe maximized MILLISECONDS
//                                           the same with a caption and a frame, maximized: an
//                                           ordinary program's window, not full screen
//   session_driver.exe session CODE         posts WM_WTSSESSION_CHANGE with CODE (7 lock,
//                                           8 unlock) to the overlay, as Windows would send it
//
// Wine sends no session notices and its foreground window is Wine's own: both have to come
// from a Windows program. Prints one line; exit status 0 on success.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

constexpr wchar_t kOverlayTitle[] = L"Tessarine PV Noctiva";
constexpr COLORREF kCoverColour = RGB(0xC0, 0x40, 0x20);

LRESULT CALLBACK CoverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int Cover(DWORD milliseconds, bool maximized) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = CoverProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = CreateSolidBrush(kCoverColour);
    windowClass.lpszClassName = L"NoctivaTestCover";
    RegisterClassW(&windowClass);
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    const DWORD style = maximized ? WS_OVERLAPPEDWINDOW : WS_POPUP;
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"noctiva-cover", style, 0, 0,
                                  width, height, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) return 1;
    ShowWindow(window, maximized ? SW_SHOWMAXIMIZED : SW_SHOW);
    SetForegroundWindow(window);
    UpdateWindow(window);
    RECT r{};
    GetWindowRect(window, &r);
    std::printf("cover: %dx%d screen, window {%ld,%ld,%ld,%ld}%s, foreground %s\n", width, height,
                r.left, r.top, r.right, r.bottom, IsZoomed(window) ? " maximized" : "",
                GetForegroundWindow() == window ? "yes" : "no");
    std::fflush(stdout);
    SetTimer(window, 1, milliseconds, nullptr);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER) DestroyWindow(window);
        DispatchMessageW(&message);
    }
    return 0;
}

int PostSessionChange(WPARAM code) {
    HWND overlay = FindWindowW(nullptr, kOverlayTitle);
    if (overlay == nullptr || !PostMessageW(overlay, WM_WTSSESSION_CHANGE, code, 1)) {
        std::printf("session: no overlay window to tell\n");
        return 1;
    }
    std::printf("session: posted change %u\n", unsigned(code));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wcscmp(argv[1], L"cover") == 0) {
        return Cover(DWORD(std::wcstoul(argv[2], nullptr, 10)), false);
    }
    if (argc == 3 && std::wcscmp(argv[1], L"maximized") == 0) {
        return Cover(DWORD(std::wcstoul(argv[2], nullptr, 10)), true);
    }
    if (argc == 3 && std::wcscmp(argv[1], L"session") == 0) {
        return PostSessionChange(WPARAM(std::wcstoul(argv[2], nullptr, 10)));
    }
    std::printf(
        "usage: session_driver.exe cover MILLISECONDS | maximized MILLISECONDS | session CODE\n");
    return 2;
}
