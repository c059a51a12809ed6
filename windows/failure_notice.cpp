#include "windows/failure_notice.h"

#include <process.h>

#include <cstdio>

#include "resources/resource.h"
#include "windows/app_state.h"
#include "windows/overlay_window.h"
#include "windows/playback_control.h"
#include "windows/process_exit.h"
#include "windows/text_conversion.h"

namespace {

void ShowMessageBox(const wchar_t* caption, const wchar_t* text) {
    MessageBoxW(nullptr, text, caption, MB_OK | MB_ICONWARNING | MB_TOPMOST | MB_SETFOREGROUND);
}

HINSTANCE Module() {
    return g_app.process.moduleHandle ? g_app.process.moduleHandle : GetModuleHandleW(nullptr);
}

std::wstring LoadText(int32_t id) {
    const wchar_t* text = nullptr;
    const int length = LoadStringW(Module(), UINT(id), reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, size_t(length)) : std::wstring();
}

void Record(const PlayerFailure& failure) {
    RecordedFailure& recorded = g_app.shared.workerFailure;
    if (recorded.recording.exchange(true)) return;
    recorded.failure = failure;
    recorded.recorded.store(true);
}

// A failure met inside the picture work (the worker's copy, the loop's presentation) gives the
// lock up here, so that the other thread can finish its turn. The critical section records its
// owner for exactly this kind of question.
void LeaveHeldPictureLock() {
    CRITICAL_SECTION& lock = g_app.process.pictureLock;
    while (reinterpret_cast<DWORD_PTR>(lock.OwningThread) == GetCurrentThreadId() &&
           lock.RecursionCount > 0) {
        LeaveCriticalSection(&lock);
    }
}

template <typename T>
void Release(T*& reference) {
    if (reference) reference->Release();
    reference = nullptr;
}

void Tell(const PlayerFailure& failure) {
    std::wstring caption = g_app.windowThread.windowTitle;
    if (caption.empty()) caption = LoadText(IDS_WINDOW_TITLE);
    const std::wstring text = FailureMessageText(failure);
    const FailureTeller teller = g_app.windowThread.teller;
    (teller ? teller : ShowMessageBox)(caption.c_str(), text.c_str());
}

// The player's worker hands the failure to the main thread, which has the window and joins the
// worker when the window closes.
[[noreturn]] void EndWorkerWithFailure(const PlayerFailure& failure) {
    Record(failure);
    NoteWorkerEnded();
    PostMessageW(g_app.playback.window, WM_CLOSE, 0, 0);
    _endthreadex(1);
    for (;;) ExitThread(1);  // not reached; _endthreadex does not return
}

}  // namespace

void EndWithFailure(const PlayerFailure& failure) {
    LeaveHeldPictureLock();
    if (CallerIsPlaybackWorker() && g_app.windowThread.workerThread && g_app.playback.window) {
        EndWorkerWithFailure(failure);
    }
    Record(failure);
    if (g_app.playback.window) QuietOverlayWindow(g_app.playback.window);
    const bool workerGone = StopPlaybackWorker(kWorkerStopMs);
    PlayerFailure told = failure;
    TakeRecordedFailure(told);  // the first one, when the worker's came before
    if (workerGone) {
        Release(g_app.playback.pictureSurface);
        Release(g_app.playback.device);
        Release(g_app.windowThread.direct3D);
        // Its end would join the worker: only once the worker is gone.
        if (g_app.playback.window) DestroyWindow(g_app.playback.window);
    } else if (g_app.playback.window) {
        // Posted: the window's thread may be this one or one that is busy elsewhere.
        ShowWindowAsync(g_app.playback.window, SW_HIDE);
    }
    g_app.playback.window = nullptr;
    // The window's end posted the quit message, which would end the message box at once.
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    Tell(told);
    EndProcessWith(1);
}

PlayerFailure DeviceFailure(const char* what, HRESULT result) {
    char code[32];
    std::snprintf(code, sizeof code, " (error 0x%08lX)", static_cast<unsigned long>(result));
    return PlaybackFailure(std::string(what) + code);
}

bool TakeRecordedFailure(PlayerFailure& failure) {
    const RecordedFailure& recorded = g_app.shared.workerFailure;
    if (!recorded.recorded.load()) return false;
    failure = recorded.failure;
    return true;
}

std::wstring FailureMessageText(const PlayerFailure& failure) {
    std::wstring pattern = LoadText(FailureMessageId(failure.kind));
    // A program without the player's strings still says what happened.
    if (pattern.empty()) pattern = failure.file.empty() ? L"%2" : L"%1: %2";
    const std::wstring file = WideFromUtf8(failure.file);
    const std::wstring reason = WideFromUtf8(failure.reason);
    return FillFailureMessage<wchar_t>(pattern, file, reason);
}

void SetFailureTeller(FailureTeller teller) {
    g_app.windowThread.teller = teller;
}
