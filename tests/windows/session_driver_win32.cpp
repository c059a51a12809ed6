// The other programs of a desktop session, for the player's end-to-end runs under Wine:
//
//   session_driver.exe cover MILLISECONDS   a borderless window over the whole primary monitor
//                                           that takes the foreground, for that long
//   session_driver.exe session CODE [other] posts WM_WTSSESSION_CHANGE with CODE (7 lock,
//                                           8 unlock, 3 remote connect, 4 remote disconnect) to
//                                           the overlay, as Windows would send it: for this
//                                           session, or with "other" for another one
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

int Cover(DWORD milliseconds) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = CoverProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = CreateSolidBrush(kCoverColour);
    windowClass.lpszClassName = L"NoctivaTestCover";
    RegisterClassW(&windowClass);
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"noctiva-cover", WS_POPUP, 0, 0,
                                  width, height, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) return 1;
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    UpdateWindow(window);
    std::printf("cover: %dx%d shown, foreground %s\n", width, height,
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

int PostSessionChange(WPARAM code, bool otherSession) {
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    if (otherSession) session += 1;
    HWND overlay = FindWindowW(nullptr, kOverlayTitle);
    if (overlay == nullptr || !PostMessageW(overlay, WM_WTSSESSION_CHANGE, code, LPARAM(session))) {
        std::printf("session: no overlay window to tell\n");
        return 1;
    }
    std::printf("session: posted change %u of session %lu\n", unsigned(code),
                static_cast<unsigned long>(session));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wcscmp(argv[1], L"cover") == 0) {
        return Cover(DWORD(std::wcstoul(argv[2], nullptr, 10)));
    }
    if ((argc == 3 || argc == 4) && std::wcscmp(argv[1], L"session") == 0) {
        const bool other = argc == 4 && std::wcscmp(argv[3], L"other") == 0;
        return PostSessionChange(WPARAM(std::wcstoul(argv[2], nullptr, 10)), other);
    }
    std::printf("usage: session_driver.exe cover MILLISECONDS | session CODE [other]\n");
    return 2;
}
