#include "linux/x11/presentation_loop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <string>

#include "linux/playback_worker.h"
#include "linux/rate_label_drawing.h"
#include "linux/x11/desktop_watch.h"
#include "linux/x11/monitor_list.h"
#include "linux/x11/overlay_window.h"
#include "linux/x11/picture_presenter.h"
#include "noctiva_dialog_texts.h"
#include "playback/frame_clock.h"
#include "playback/rate_label.h"
#include "render/overlay_layout.h"
#include "render/overlay_shape.h"
#include "render/screen_cover.h"
#include "resources/resource.h"
#include "settings/dialog_template.h"

namespace {

constexpr int kRestackPeriodMs = 250;  // the Windows overlay's stacking timer

uint32_t MillisecondsNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint32_t(uint64_t(now.tv_sec) * 1000 + uint64_t(now.tv_nsec) / 1'000'000);
}

#if defined(NOCTIVA_MEASURE)
// Measurement build only: pictures presented, wall time, and the processor time of the process
// and of the main thread, counted from the start of the presentation loop.
double CpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

struct Measurement {
    long presented = 0;
    double start = CpuSeconds(CLOCK_MONOTONIC);
    double processCpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    double mainCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);

    void Report() const {
        std::fprintf(stderr, "measure: presented=%ld seconds=%.3f process_cpu=%.3f main_cpu=%.3f\n",
                     presented, CpuSeconds(CLOCK_MONOTONIC) - start,
                     CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processCpu,
                     CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - mainCpu);
    }
};
#endif

// SIGINT and SIGTERM end playback as the window's close does, with status 0: the handler only
// writes to a pipe that the loop polls, on whichever thread it runs (GTK's threads included).
int g_stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(g_stopPipe[1], &byte, 1);
    errno = saved;
}

class StopSignals {
  public:
    StopSignals() {
        if (pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGINT, &action, &previousInt_);
        sigaction(SIGTERM, &action, &previousTerm_);
        installed_ = true;
    }
    ~StopSignals() {
        if (!installed_) return;
        sigaction(SIGINT, &previousInt_, nullptr);
        sigaction(SIGTERM, &previousTerm_, nullptr);
        close(g_stopPipe[0]);
        close(g_stopPipe[1]);
        g_stopPipe[0] = g_stopPipe[1] = -1;
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    int Descriptor() const { return g_stopPipe[0]; }
    bool Received(const pollfd& polled) const {
        return installed_ && (polled.revents & POLLIN) != 0;
    }

  private:
    bool installed_ = false;
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
};

WindowRect RectOf(const OverlayLayout& layout) {
    return {layout.left, layout.top, layout.width, layout.height};
}

// The several XRandR notices of one change arrive within a few milliseconds: the layout waits
// this long after the last of them.
constexpr uint32_t kLayoutSettleMs = 100;
// A window manager gives the focus to a window of the new workspace after it announced the
// switch: the overlay takes it back once that is done.
constexpr uint32_t kWorkspaceSettleMs = 150;

class Player {
  public:
    Player(Display* display, const PlaybackSettings& settings, std::vector<DisplayEntry> displays,
           std::string archivePath)
        : display_(display),
          settings_(settings),
          displays_(std::move(displays)),
          archivePath_(std::move(archivePath)),
          window_(display, settings) {}

    int Run();
    PlayerFailure failure;  // what ended the player, when Run returned 1

  private:
    WindowRect Layout() const {
        return RectOf(LayOutOverlay(settings_, displays_, BoundingScreen(displays_), 0, 0));
    }
    bool Start();
    bool SizePicture(const WindowRect& rect);
    void LayOutAgain();
    bool HandleEvents();  // false once the player is to end
    void FollowDesktop(int change);
    void SayHowItShows(bool atStart) const;
    void UpdateCover();
    void ShapeLocked();
    void PresentPicture();
    void PresentHeldPicture();
    void RunTimers(uint32_t now);
    int PollTimeout(uint32_t now) const;
    void HandleRootEvent(const XEvent& event);

    Display* display_;
    PlaybackSettings settings_;
    std::vector<DisplayEntry> displays_;
    std::string archivePath_;
    std::atomic<bool> failed_{false};  // set by the worker once `failure` is written
    OverlayWindow window_;
    std::unique_ptr<DesktopWatch> watch_;
    std::unique_ptr<PicturePresenter> presenter_;
    PictureHandover handover_;
    std::unique_ptr<PlaybackThread> worker_;
    RateLabelState rate_;
    bool composited_ = false;
    bool paused_ = false;
    std::vector<MonitorEntry> hidden_;  // the window's parts that full-screen windows cover
    uint32_t nextRestack_ = 0;
    bool layoutDue_ = false;
    uint32_t layoutAt_ = 0;
    bool focusAtPause_ = false;  // the overlay had the focus as the pause began
    bool refocusDue_ = false;    // after a workspace switch
    uint32_t refocusAt_ = 0;
    Atom currentDesktop_ = 0;
#if defined(NOCTIVA_MEASURE)
    Measurement measurement_;
#endif
};

bool Player::SizePicture(const WindowRect& rect) {
    std::lock_guard<std::mutex> hold(handover_.Lock());
    const bool made = presenter_->Resize(rect.width, rect.height);
    handover_.SetTargetLocked(presenter_->Pixels(), presenter_->Width(), presenter_->Height());
    return made;
}

void Player::LayOutAgain() {
    layoutDue_ = false;
    const bool hadFocus = window_.HadFocusLately(MillisecondsNow());
    displays_ = EnumerateX11Displays(display_);
    const WindowRect rect = Layout();
    if (rect != window_.Rect()) {
        window_.MoveTo(rect);
        SizePicture(rect);
    }
    worker_->ChangeDisplays(displays_);
    UpdateCover();
    if (hadFocus) window_.TakeFocus();
    PresentHeldPicture();
}

void Player::SayHowItShows(bool atStart) const {
    if (composited_) {
        if (!atStart) {
            std::fprintf(stderr,
                         "noctiva: a compositing manager started; the overlay shows "
                         "translucent\n");
        }
    } else if (!window_.HasAlpha()) {
        std::fprintf(stderr,
                     "noctiva: the X server offers no 32-bit visual; the overlay shows "
                     "an opaque shadow through a window shape\n");
    } else {
        std::fprintf(stderr,
                     "noctiva: no compositing manager is running; the overlay shows an "
                     "opaque shadow through a window shape\n");
    }
}

void Player::FollowDesktop(int change) {
    const bool composited = window_.HasAlpha() && watch_->Composited();
    if ((change & DesktopWatch::Compositor) && composited != composited_) {
        composited_ = composited;
        SayHowItShows(false);
        std::lock_guard<std::mutex> hold(handover_.Lock());
        ShapeLocked();
    }
    if (change & DesktopWatch::FullScreen) UpdateCover();
}

// The monitors that a full-screen window covers show nothing; with none left, the player
// pauses with its window unmapped. Staying in front was asked for with kept-on-top: it shows on.
void Player::UpdateCover() {
    const WindowRect& r = window_.Rect();
    OverlayLayout window;
    window.left = r.left;
    window.top = r.top;
    window.width = r.width;
    window.height = r.height;
    const std::vector<MonitorRect> covered =
        settings_.keepOnTop ? std::vector<MonitorRect>{}
                            : CoveredDisplays(displays_, watch_->FullScreenWindows());
    hidden_ = HiddenAreas(covered, window);
    const bool pause = !covered.empty() && NothingLeftToShow(displays_, covered, window);
    if (pause != paused_) {
        paused_ = pause;
        worker_->SetPaused(pause);
        if (pause) {
            focusAtPause_ = window_.HadFocusLately(MillisecondsNow());
            window_.Hide();
        } else {
            rate_.meter.Start();
            window_.Show();  // its MapNotify brings the held picture back
            if (focusAtPause_) window_.TakeFocus();
        }
        XFlush(display_);
    }
    std::lock_guard<std::mutex> hold(handover_.Lock());
    ShapeLocked();
}

// Holding the hand-over's lock: the window's shape for the picture in it.
void Player::ShapeLocked() {
    std::vector<MonitorRect> opaque;
    if (!composited_) {
        opaque = OpaqueRectangles(presenter_->Pixels(), presenter_->Width(), presenter_->Height());
    }
    window_.SetShape(!composited_, opaque, hidden_);
}

bool Player::HandleEvents() {
    while (XPending(display_)) {
        XEvent event{};
        XNextEvent(display_, &event);
        if (IsDisplayChange(display_, event)) {
            layoutDue_ = true;
            layoutAt_ = MillisecondsNow() + kLayoutSettleMs;
            continue;
        }
        if (const int change = watch_->Handle(event)) {
            FollowDesktop(change);
            continue;
        }
        if (event.xany.window == DefaultRootWindow(display_)) {
            HandleRootEvent(event);
            continue;
        }
        if (event.xany.window != window_.Handle()) continue;
        switch (window_.Handle(event)) {
            case OverlayWindow::EventOutcome::Close:
                return false;
            case OverlayWindow::EventOutcome::Repaint:
                PresentHeldPicture();
                break;
            case OverlayWindow::EventOutcome::Nothing:
                break;
        }
    }
    return true;
}

void Player::HandleRootEvent(const XEvent& event) {
    switch (event.type) {
        case MapNotify:
        case ConfigureNotify:
            window_.OtherWindowRestacked(event);
            return;
        case UnmapNotify:
        case DestroyNotify:
            window_.OtherWindowGone(event);
            return;
        case PropertyNotify:
            if (event.xproperty.atom == currentDesktop_ &&
                window_.HadFocusLately(MillisecondsNow())) {
                refocusDue_ = true;
                refocusAt_ = MillisecondsNow() + kWorkspaceSettleMs;
            }
            return;
        default:
            return;
    }
}

void Player::PresentPicture() {
    {
        std::lock_guard<std::mutex> hold(handover_.Lock());
        if (rate_.firstPicture) rate_.shownRate = rate_.meter.rate;
        if (settings_.showFps && presenter_->Pixels()) {
            DrawRateLabel(presenter_->Pixels(), presenter_->Width(), presenter_->Height(),
                          RateLabelText(rate_.shownRate));
        }
        if (!composited_) ShapeLocked();
        presenter_->Present();
    }
    NotePicturePresented(rate_, MillisecondsNow());
#if defined(NOCTIVA_MEASURE)
    ++measurement_.presented;
#endif
}

// The picture in the buffer again, for a window that was mapped, uncovered or laid out anew.
void Player::PresentHeldPicture() {
    if (!window_.Shown()) return;
    std::lock_guard<std::mutex> hold(handover_.Lock());
    presenter_->Present();
}

void Player::RunTimers(uint32_t now) {
    if (layoutDue_ && ReachedMilliseconds(now, layoutAt_)) LayOutAgain();
    if (refocusDue_ && ReachedMilliseconds(now, refocusAt_)) {
        refocusDue_ = false;
        window_.TakeFocus();
        XFlush(display_);
    }
    if (window_.RaisePending()) {
        window_.RaiseIfDue(now);
        XFlush(display_);
    }
    if (!paused_ && window_.NeedsRestacking() && ReachedMilliseconds(now, nextRestack_)) {
        window_.Restack();
        XFlush(display_);
        nextRestack_ = now + kRestackPeriodMs;
    }
}

int Player::PollTimeout(uint32_t now) const {
    int timeout = -1;  // nothing to do until an event or a picture
    auto until = [&](uint32_t deadline) {
        const int32_t left = std::max<int32_t>(0, int32_t(deadline - now));
        timeout = timeout < 0 ? left : std::min<int>(timeout, left);
    };
    if (layoutDue_) until(layoutAt_);
    if (refocusDue_) until(refocusAt_);
    if (window_.RaisePending()) until(window_.RaiseDueAt());
    if (!paused_ && window_.NeedsRestacking()) until(nextRestack_);
    return timeout;
}

bool Player::Start() {
    const std::string title(FindResourceString(kStringTable, IDS_WINDOW_TITLE));
    const std::string className(FindResourceString(kStringTable, IDS_WINDOW_CLASS));
    const WindowRect rect = Layout();
    if (!window_.Create(rect, title, className)) {
        failure = PlaybackFailure("the X server offers no 32-bit or 24-bit TrueColor visual");
        return false;
    }
    currentDesktop_ = XInternAtom(display_, "_NET_CURRENT_DESKTOP", False);
    watch_ = std::make_unique<DesktopWatch>(display_, window_.Handle());
    watch_->Start();
    composited_ = window_.HasAlpha() && watch_->Composited();
    SayHowItShows(true);
    SelectDisplayChanges(display_);
    presenter_ = std::make_unique<PicturePresenter>(display_, window_.PictureVisual(),
                                                    window_.Depth(), window_.Handle());
    if (!SizePicture(rect)) {
        failure = PlaybackFailure("no memory for a " + std::to_string(rect.width) + "x" +
                                  std::to_string(rect.height) + " picture");
        return false;
    }
    // The worker's run ends on a failure; the loop then ends too and the failure is told.
    worker_ = std::make_unique<PlaybackThread>(archivePath_, settings_, handover_,
                                               [this](const PlayerFailure& reason) {
                                                   failure = reason;
                                                   failed_ = true;
                                                   handover_.WakeUp();
                                               });
    UpdateCover();
    XFlush(display_);
    return true;
}

int Player::Run() {
    if (!Start()) return 1;
#if !defined(NOCTIVA_MEASURE)
    // The whole player yields to every other program, as the Windows one runs at idle priority.
    // (The measurement build keeps the normal priority, as Wine runs the Windows player, so
    // that a busy machine starves neither of them.)
    setpriority(PRIO_PROCESS, 0, 19);
#endif
    worker_->Start(displays_);
    rate_.meter.Start();
#if defined(NOCTIVA_MEASURE)
    measurement_ = Measurement{};
#endif
    nextRestack_ = MillisecondsNow() + kRestackPeriodMs;

    const StopSignals stopSignals;
    pollfd fds[3] = {{ConnectionNumber(display_), POLLIN, 0},
                     {handover_.WakeDescriptor(), POLLIN, 0},
                     {stopSignals.Descriptor(), POLLIN, 0}};
    while (HandleEvents()) {
        if (handover_.TakeWakeUp()) {
            if (failed_) break;
            PresentPicture();
            continue;  // presenting read replies and perhaps events: look at those first
        }
        RunTimers(MillisecondsNow());
        // Round trips in the timers and the presentation read events into Xlib's queue, which
        // poll() does not see: those are handled first.
        if (XQLength(display_) > 0) continue;
        XFlush(display_);
        poll(fds, 3, PollTimeout(MillisecondsNow()));
        if (stopSignals.Received(fds[2])) break;
    }
    worker_->Stop();
#if defined(NOCTIVA_MEASURE)
    measurement_.Report();
#endif
    return failed_ ? 1 : 0;
}

}  // namespace

int RunPlayback(Display* display, const PlaybackSettings& settings,
                std::vector<DisplayEntry> displays, const std::string& archivePath,
                PlayerFailure& failure) {
    Player player(display, settings, std::move(displays), archivePath);
    const int status = player.Run();
    failure = player.failure;
    return status;
}
