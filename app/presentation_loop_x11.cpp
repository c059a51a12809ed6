#include "app/presentation_loop_x11.h"

#include <poll.h>
#include <sys/resource.h>
#include <time.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

#include "app/overlay_window_x11.h"
#include "app/picture_presenter_x11.h"
#include "app/rate_label.h"
#include "app/rate_label_gtk.h"
#include "noctiva_dialog_texts.h"
#include "render/overlay_layout.h"
#include "render/playback_worker_posix.h"
#include "resources/resource.h"
#include "settings/dialog_template.h"
#include "settings/monitor_list_x11.h"

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

WindowRect RectOf(const OverlayLayout& layout) {
    return {layout.left, layout.top, layout.width, layout.height};
}

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
    bool SizePicture(const WindowRect& rect);
    void LayOutAgain();
    bool HandleEvents();  // false once the player is to end
    void PresentPicture();
    int PollTimeout(uint32_t now) const;

    Display* display_;
    PlaybackSettings settings_;
    std::vector<DisplayEntry> displays_;
    std::string archivePath_;
    std::atomic<bool> failed_{false};  // set by the worker once `failure` is written
    OverlayWindow window_;
    std::unique_ptr<PicturePresenter> presenter_;
    PictureHandover handover_;
    std::unique_ptr<PlaybackThread> worker_;
    RateLabelState rate_;
    uint32_t nextRestack_ = 0;
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
    displays_ = EnumerateX11Displays(display_);
    const WindowRect rect = Layout();
    const WindowRect& old = window_.Rect();
    if (rect.left != old.left || rect.top != old.top || rect.width != old.width ||
        rect.height != old.height) {
        window_.MoveTo(rect);
        SizePicture(rect);
    }
    worker_->ChangeDisplays(displays_);
}

bool Player::HandleEvents() {
    while (XPending(display_)) {
        XEvent event{};
        XNextEvent(display_, &event);
        if (IsDisplayChange(display_, event)) {
            LayOutAgain();
            continue;
        }
        if (event.xany.window != window_.Handle()) continue;
        if (window_.Handle(event) == OverlayWindow::EventOutcome::Close) return false;
    }
    return true;
}

void Player::PresentPicture() {
    {
        std::lock_guard<std::mutex> hold(handover_.Lock());
        if (rate_.firstPicture) rate_.shownRate = rate_.meter.rate;
        if (settings_.showFps && presenter_->Pixels()) {
            DrawRateLabel(presenter_->Pixels(), presenter_->Width(), presenter_->Height(),
                          RateLabelText(rate_.shownRate));
        }
        presenter_->Present();
    }
    NotePicturePresented(rate_, MillisecondsNow());
#if defined(NOCTIVA_MEASURE)
    ++measurement_.presented;
#endif
}

int Player::PollTimeout(uint32_t now) const {
    if (!window_.NeedsRestacking()) return -1;  // nothing to do until an event or a picture
    const int32_t left = int32_t(nextRestack_ - now);
    return left < 0 ? 0 : left;
}

int Player::Run() {
    const std::string title(FindResourceString(kStringTable, IDS_WINDOW_TITLE));
    const std::string className(FindResourceString(kStringTable, IDS_WINDOW_CLASS));
    const WindowRect rect = Layout();
    if (!window_.Create(rect, title, className)) {
        failure = PlaybackFailure("the X server offers no 32-bit TrueColor visual");
        return 1;
    }
    if (!CompositorRunning(display_)) {
        std::fprintf(stderr,
                     "noctiva: no compositing manager is running; the overlay shows opaque\n");
    }
    SelectDisplayChanges(display_);
    presenter_ =
        std::make_unique<PicturePresenter>(display_, window_.ArgbVisual(), window_.Handle());
    if (!SizePicture(rect)) {
        failure = PlaybackFailure("no memory for a " + std::to_string(rect.width) + "x" +
                                  std::to_string(rect.height) + " picture");
        return 1;
    }
    XFlush(display_);

#if !defined(NOCTIVA_MEASURE)
    // The whole player yields to every other program, as the Windows one runs at idle priority.
    // (The measurement build keeps the normal priority, as Wine runs the Windows player, so
    // that a busy machine starves neither of them.)
    setpriority(PRIO_PROCESS, 0, 19);
#endif
    // The worker's run ends on a failure; the loop then ends too and the failure is told.
    worker_ = std::make_unique<PlaybackThread>(archivePath_, settings_, handover_,
                                               [this](const PlayerFailure& reason) {
                                                   failure = reason;
                                                   failed_ = true;
                                                   handover_.WakeUp();
                                               });
    worker_->Start(displays_);
    rate_.meter.Start();
#if defined(NOCTIVA_MEASURE)
    measurement_ = Measurement{};
#endif
    nextRestack_ = MillisecondsNow() + kRestackPeriodMs;

    pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0},
                     {handover_.WakeDescriptor(), POLLIN, 0}};
    while (HandleEvents()) {
        if (handover_.TakeWakeUp()) {
            if (failed_) break;
            PresentPicture();
            continue;  // presenting read replies and perhaps events: look at those first
        }
        const uint32_t now = MillisecondsNow();
        if (window_.NeedsRestacking() && int32_t(now - nextRestack_) >= 0) {
            window_.Restack();
            XFlush(display_);
            nextRestack_ = now + kRestackPeriodMs;
        }
        poll(fds, 2, PollTimeout(MillisecondsNow()));
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
