// The presentation loop's order (messages first, then at most one picture per setting of the
// event), its ends, and the frame-rate label's refresh, for both ways of waiting.
#include <windows.h>
// The platform headers below need the types of <windows.h>.
#include <gtest/gtest.h>
#include <process.h>

#include <string>
#include <vector>

#include "playback/frame_clock.h"
#include "windows/presentation_loop.h"

namespace {

const char* Name(LoopWaiting waiting) {
    return waiting == LoopWaiting::Blocking ? "blocking" : "polling";
}

constexpr LoopWaiting kBoth[] = {LoopWaiting::Blocking, LoopWaiting::Polling};
constexpr UINT kLogged = WM_APP + 1;

std::vector<std::string> events;

LRESULT CALLBACK LoggingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kLogged) {
        events.push_back("message " + std::to_string(wParam));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class PresentationLoop : public ::testing::Test {
  protected:
    void SetUp() override {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = LoggingProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"LoopTestWindow";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(0, L"LoopTestWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(window_, nullptr);
        frameReady_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        events.clear();
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    void TearDown() override {
        DestroyWindow(window_);
        CloseHandle(frameReady_);
        UnregisterClassW(L"LoopTestWindow", GetModuleHandleW(nullptr));
    }
    void Post(WPARAM n) { PostMessageW(window_, kLogged, n, 0); }
    static void Drain() {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    HWND window_ = nullptr;
    HANDLE frameReady_ = nullptr;
};

struct OrderCase {
    const char* name;
    int messagesBefore;
    int settingsBefore;  // SetEvent calls before the loop starts
    std::vector<std::string> expected;
};

TEST_F(PresentationLoop, MessagesComeFirstAndOneSettingGivesOnePicture) {
    const OrderCase cases[] = {
        {"three messages, one picture", 3, 1, {"message 0", "message 1", "message 2", "present"}},
        {"two pictures before the first pass", 1, 2, {"message 0", "present"}},
        {"picture only", 0, 1, {"present"}},
    };
    for (LoopWaiting waiting : kBoth) {
        for (const OrderCase& c : cases) {
            SCOPED_TRACE(std::string(Name(waiting)) + ": " + c.name);
            events.clear();
            for (int i = 0; i < c.messagesBefore; ++i) Post(static_cast<WPARAM>(i));
            for (int i = 0; i < c.settingsBefore; ++i) SetEvent(frameReady_);
            int presented = 0;
            const int result = RunPresentationLoop(waiting, frameReady_, [&] {
                events.push_back("present");
                // The next pass sees this quit message; a second picture would come first if
                // the event still counted the earlier setting.
                if (++presented == 1) PostQuitMessage(7);
                return true;
            });
            EXPECT_EQ(result, 7);
            EXPECT_EQ(events, c.expected);
            EXPECT_EQ(WaitForSingleObject(frameReady_, 0), static_cast<DWORD>(WAIT_TIMEOUT));
        }
    }
}

TEST_F(PresentationLoop, ARefusedPictureEndsTheLoopWithZeroAtOnce) {
    for (LoopWaiting waiting : kBoth) {
        SCOPED_TRACE(Name(waiting));
        events.clear();
        Post(1);
        SetEvent(frameReady_);
        const int result = RunPresentationLoop(waiting, frameReady_, [&] {
            events.push_back("present");
            Post(2);  // must not be dispatched by the loop any more
            return false;
        });
        EXPECT_EQ(result, 0);
        const std::vector<std::string> expected = {"message 1", "present"};
        EXPECT_EQ(events, expected);
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
}

// From another thread: a message for the loop after 100 ms, the finished picture after 300 ms.
struct Setter {
    HANDLE event;
    HWND window;
};

unsigned __stdcall MessageThenPicture(void* data) {
    auto* setter = static_cast<Setter*>(data);
    Sleep(100);
    PostMessageW(setter->window, kLogged, 5, 0);
    Sleep(200);
    SetEvent(setter->event);
    return 0;
}

double ThreadCpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto ticks = [](FILETIME t) {
        return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

// A message or a picture arriving while the loop waits wakes it; the blocking loop uses next to
// no processor time while it waits, the polling one keeps it busy (its figure is the control).
TEST_F(PresentationLoop, MessagesAndPicturesArrivingLaterWakeTheLoop) {
    double cpu[2] = {0, 0};
    for (LoopWaiting waiting : kBoth) {
        SCOPED_TRACE(Name(waiting));
        events.clear();
        ResetEvent(frameReady_);
        Drain();
        Setter setter{frameReady_, window_};
        HANDLE thread = reinterpret_cast<HANDLE>(
            _beginthreadex(nullptr, 0, MessageThenPicture, &setter, 0, nullptr));
        ASSERT_NE(thread, nullptr);
        const double before = ThreadCpuSeconds();
        const DWORD start = GetTickCount();
        int presented = 0;
        RunPresentationLoop(waiting, frameReady_, [&] {
            ++presented;
            events.push_back("present");
            PostQuitMessage(0);
            return true;
        });
        const DWORD waited = GetTickCount() - start;
        cpu[waiting == LoopWaiting::Polling] = ThreadCpuSeconds() - before;
        // The message wakes the loop too, but only the event brings a picture.
        const std::vector<std::string> expected = {"message 5", "present"};
        EXPECT_EQ(events, expected);
        EXPECT_EQ(presented, 1);
        EXPECT_GE(waited, 250u);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    std::printf("processor time while waiting 300 ms: blocking %.3f s, polling %.3f s\n", cpu[0],
                cpu[1]);
    EXPECT_LT(cpu[0], 0.05);
    // The control: if the polling loop shows no processor time, the measurement says nothing. How
    // much it gets depends on what else the machine runs (a tenth of its 300 ms on a busy one), so
    // it only has to show more than the blocking loop.
    EXPECT_GT(cpu[1], cpu[0]);
}

// ---- the label's refresh ----

// A scripted clock for the meter: ten million ticks per second.
class ScriptedClock : public ClockSource {
  public:
    int64_t Counter() override { return counter; }
    int64_t Frequency() override { return 10'000'000; }
    void Sleep(uint32_t) override {}
    int64_t counter = 0;
};

uint32_t scriptedNow;
uint32_t ScriptedMilliseconds() {
    return scriptedNow;
}

struct RefreshStep {
    uint32_t nowMs;        // timeGetTime at this picture
    int64_t counter;       // counter ticks at this picture
    bool refreshed;        // shownRate takes the meter's rate here
    uint32_t nextRefresh;  // afterwards
};

struct RefreshCase {
    const char* name;
    std::vector<RefreshStep> steps;
};

TEST(AfterPicturePresented, RefreshesTheShownRateAtMostEvery100Ms) {
    const RefreshCase cases[] = {
        {"steady 30 pictures a second",
         {{1000, 333'333, false, 1100},
          {1033, 666'666, false, 1100},
          {1099, 1'000'000, false, 1100},
          {1100, 1'333'333, true, 1200},
          {1150, 1'833'333, false, 1200}}},
        {"a late picture refreshes at once",
         {{5000, 1'000'000, false, 5100}, {5400, 5'000'000, true, 5500}}},
        // The count and the refresh time are compared across the wrap of the millisecond
        // count: a refresh time past zero is not reached before the count gets there.
        {"refresh time past the wrap",
         {{0xFFFFFFF0u, 1'000'000, false, 0x54u},
          {0xFFFFFFF5u, 1'050'000, false, 0x54u},
          {0x10u, 1'300'000, false, 0x54u},
          {0x59u, 1'700'000, true, 0xBDu}}},
        // Refresh time just below 2^32 and the next picture after the wrap: an unsigned
        // comparison would keep the label frozen for 49.7 days.
        {"picture after the wrap",
         {{0xFFFFFF90u, 1'000'000, false, 0xFFFFFFF4u},
          {0xFFFFFFC3u, 1'330'000, false, 0xFFFFFFF4u},
          {0x2u, 1'660'000, true, 0x66u}}},
    };
    ScriptedClock clock;
    UseClockSource(&clock);
    for (const RefreshCase& c : cases) {
        SCOPED_TRACE(c.name);
        PresentationState state;
        clock.counter = 0;
        state.meter.Start();
        state.shownRate = -1.0;  // what the loop showed before; stays until a refresh
        double expectedShown = state.shownRate;
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const RefreshStep& step = c.steps[i];
            SCOPED_TRACE("picture " + std::to_string(i) + " at " + std::to_string(step.nowMs));
            scriptedNow = step.nowMs;
            clock.counter = step.counter;
            AfterPicturePresented(state, ScriptedMilliseconds);
            if (step.refreshed) expectedShown = state.meter.rate;
            EXPECT_EQ(state.shownRate, expectedShown);
            EXPECT_EQ(state.nextRateRefresh, step.nextRefresh);
            EXPECT_FALSE(state.firstPicture);
        }
    }
    UseClockSource(nullptr);
}

}  // namespace
