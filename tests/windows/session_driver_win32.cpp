// The other programs of a desktop session, for the player's end-to-end runs under Wine:
//
//   session_driver.exe cover MILLISECONDS   a borderless window over the whole primary monitor
//                                           that takes the foreground, for that long
//   session_driver.exe session CODE [other] posts WM_WTSSESSION_CHANGE with CODE (7 lock,
//                                           8 unlock, 3 remote connect, 4 remote disconnect) to
//                                           the overlay, as Windows would send it: for this
//                                           session, or with "other" for another one
//   session_driver.exe cycle COUNT          pauses and resumes the overlay COUNT times, in turn
//                                           by the lock, its own session's disconnect and a
//                                           full-screen window; prints the overlay process's
//                                           handle, GDI and USER object counts before, every
//                                           tenth cycle and after ("counts: ..."), and one line
//                                           per pause that did not hide or resume that did not
//                                           show the overlay
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

struct Counts {
    DWORD handles = 0, gdi = 0, user = 0;
};

Counts CountsOf(HWND overlay) {
    DWORD pid = 0;
    GetWindowThreadProcessId(overlay, &pid);
    Counts c;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!process) return c;
    GetProcessHandleCount(process, &c.handles);
    c.gdi = GetGuiResources(process, GR_GDIOBJECTS);
    c.user = GetGuiResources(process, GR_USEROBJECTS);
    CloseHandle(process);
    return c;
}

void PrintCounts(const char* when, int cycle, HWND overlay) {
    const Counts c = CountsOf(overlay);
    std::printf("counts: %s cycle=%d handles=%lu gdi=%lu user=%lu\n", when, cycle, c.handles, c.gdi,
                c.user);
    std::fflush(stdout);
}

// Dispatches this thread's messages for `ms` (the cover window's among them).
void Pump(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (GetTickCount64() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        Sleep(10);
    }
}

// True once the overlay's visibility is `shown`, within two seconds.
bool WaitShown(HWND overlay, bool shown) {
    for (int i = 0; i < 200; ++i) {
        if ((IsWindowVisible(overlay) != FALSE) == shown) return true;
        Pump(10);
    }
    return false;
}

HWND ShowCover() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = L"NoctivaCycleCover";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"noctiva-cycle-cover", WS_POPUP, 0,
                                  0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    return window;
}

int Cycle(int count) {
    HWND overlay = FindWindowW(nullptr, kOverlayTitle);
    if (overlay == nullptr) {
        std::printf("cycle: no overlay window\n");
        return 1;
    }
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    int misses = 0;
    PrintCounts("before", 0, overlay);
    for (int cycle = 1; cycle <= count; ++cycle) {
        const int kind = cycle % 3;
        HWND cover = nullptr;
        if (kind == 0) cover = ShowCover();
        if (kind == 1) PostMessageW(overlay, WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, session);
        if (kind == 2) PostMessageW(overlay, WM_WTSSESSION_CHANGE, WTS_REMOTE_DISCONNECT, session);
        if (!WaitShown(overlay, false)) {
            std::printf("cycle %d: the pause (kind %d) did not hide the overlay\n", cycle, kind);
            ++misses;
        }
        if (kind == 0) DestroyWindow(cover);
        if (kind == 1) PostMessageW(overlay, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, session);
        if (kind == 2) PostMessageW(overlay, WM_WTSSESSION_CHANGE, WTS_REMOTE_CONNECT, session);
        if (!WaitShown(overlay, true)) {
            std::printf("cycle %d: the resume (kind %d) did not show the overlay\n", cycle, kind);
            ++misses;
        }
        Pump(300);  // a few pictures between the pauses
        if (cycle % 10 == 0) PrintCounts("during", cycle, overlay);
    }
    PrintCounts("after", count, overlay);
    std::printf("cycle: %d pauses and resumes, %d missed\n", count, misses);
    return misses == 0 ? 0 : 1;
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
    if (argc == 3 && std::wcscmp(argv[1], L"cycle") == 0) {
        return Cycle(int(std::wcstol(argv[2], nullptr, 10)));
    }
    std::printf(
        "usage: session_driver.exe cover MILLISECONDS | session CODE [other] | cycle COUNT\n");
    return 2;
}
