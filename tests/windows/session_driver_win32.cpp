// The other programs of a desktop session, for the player's end-to-end runs under Wine:
//
//   session_driver.exe cover MILLISECONDS   a borderless window over the whole primary monitor
//                                           that takes the foreground, for that long
//   session_driver.exe maximized MILLISECONDS
//                                           the same with a caption and a frame, maximized: an
//                                           ordinary program's window, not full screen
//   session_driver.exe session CODE [other] posts WM_WTSSESSION_CHANGE with CODE (7 lock,
//                                           8 unlock, 3 remote connect, 4 remote disconnect) to
//                                           the overlay, as Windows would send it: for this
//                                           session, or with "other" for another one
//   session_driver.exe display STATE        sends the console display's power setting change
//                                           (0 off, 1 on, 2 dimmed) to the overlay, its record
//                                           written into the overlay's process
//   session_driver.exe cycle COUNT          pauses and resumes the overlay COUNT times, in turn
//                                           by the lock, its own session's disconnect, the
//                                           display going off and a full-screen window; prints the
//                                           overlay process's handle, GDI and USER object counts
//                                           before, every tenth cycle and after ("counts: ..."),
//                                           and one line per pause that did not hide or resume that
//                                           did not show the overlay
//
// Wine sends no session notices and its foreground window is Wine's own: both have to come
// from a Windows program. Prints one line; exit status 0 on success.
#include <windows.h>

#include <cstdio>
#include <cstring>
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

// GUID_CONSOLE_DISPLAY_STATE.
constexpr GUID kConsoleDisplayState = {
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};

// WM_POWERBROADCAST carries a pointer to its record, so the record is written into the
// overlay's process first; the caller frees it with FreeInOverlay once the message was handled.
void* PostDisplayState(HWND overlay, DWORD state) {
    DWORD pid = 0;
    GetWindowThreadProcessId(overlay, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return nullptr;
    unsigned char record[sizeof(POWERBROADCAST_SETTING) + sizeof(DWORD)] = {};
    auto* setting = reinterpret_cast<POWERBROADCAST_SETTING*>(record);
    setting->PowerSetting = kConsoleDisplayState;
    setting->DataLength = sizeof(DWORD);
    std::memcpy(setting->Data, &state, sizeof state);
    void* remote =
        VirtualAllocEx(process, nullptr, sizeof record, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    const bool written =
        remote && WriteProcessMemory(process, remote, record, sizeof record, nullptr);
    CloseHandle(process);
    if (!written || !PostMessageW(overlay, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE,
                                  reinterpret_cast<LPARAM>(remote))) {
        return nullptr;
    }
    return remote;
}

void FreeInOverlay(HWND overlay, void* remote) {
    DWORD pid = 0;
    GetWindowThreadProcessId(overlay, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION, FALSE, pid);
    if (!process) return;
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
}

int SendDisplayState(DWORD state) {
    HWND overlay = FindWindowW(nullptr, kOverlayTitle);
    void* remote = overlay ? PostDisplayState(overlay, state) : nullptr;
    if (remote == nullptr) {
        std::printf("display: could not tell the overlay\n");
        return 1;
    }
    Sleep(500);  // handled by then; the record is no longer read
    FreeInOverlay(overlay, remote);
    std::printf("display: sent state %lu\n", static_cast<unsigned long>(state));
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
        const int kind = cycle % 4;
        HWND cover = nullptr;
        void* record = nullptr;
        if (kind == 0) cover = ShowCover();
        if (kind == 1) PostMessageW(overlay, WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, session);
        if (kind == 2) PostMessageW(overlay, WM_WTSSESSION_CHANGE, WTS_REMOTE_DISCONNECT, session);
        if (kind == 3) record = PostDisplayState(overlay, 0);
        if (!WaitShown(overlay, false)) {
            std::printf("cycle %d: the pause (kind %d) did not hide the overlay\n", cycle, kind);
            ++misses;
        }
        if (record) FreeInOverlay(overlay, record);
        if (kind == 0) DestroyWindow(cover);
        if (kind == 1) PostMessageW(overlay, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, session);
        if (kind == 2) PostMessageW(overlay, WM_WTSSESSION_CHANGE, WTS_REMOTE_CONNECT, session);
        if (kind == 3) record = PostDisplayState(overlay, 1);
        if (!WaitShown(overlay, true)) {
            std::printf("cycle %d: the resume (kind %d) did not show the overlay\n", cycle, kind);
            ++misses;
        }
        if (record) FreeInOverlay(overlay, record);
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
        return Cover(DWORD(std::wcstoul(argv[2], nullptr, 10)), false);
    }
    if (argc == 3 && std::wcscmp(argv[1], L"maximized") == 0) {
        return Cover(DWORD(std::wcstoul(argv[2], nullptr, 10)), true);
    }
    if ((argc == 3 || argc == 4) && std::wcscmp(argv[1], L"session") == 0) {
        const bool other = argc == 4 && std::wcscmp(argv[3], L"other") == 0;
        return PostSessionChange(WPARAM(std::wcstoul(argv[2], nullptr, 10)), other);
    }
    if (argc == 3 && std::wcscmp(argv[1], L"display") == 0) {
        return SendDisplayState(DWORD(std::wcstoul(argv[2], nullptr, 10)));
    }
    if (argc == 3 && std::wcscmp(argv[1], L"cycle") == 0) {
        return Cycle(int(std::wcstol(argv[2], nullptr, 10)));
    }
    std::printf(
        "usage: session_driver.exe cover MILLISECONDS | maximized MILLISECONDS | "
        "session CODE [other] | display STATE | cycle COUNT\n");
    return 2;
}
