#include "linux/playback_worker.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "archive/archive_failure.h"
#include "archive/frame_repeat.h"
#include "archive/image_unpacker.h"
#include "playback/archive_argument.h"
#include "playback/frame_clock.h"
#include "playback/frame_turn.h"
#include "render/overlay_layout.h"
#include "render/software_renderer.h"

PictureHandover::PictureHandover() : wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

PictureHandover::~PictureHandover() {
    if (wakeFd_ >= 0) close(wakeFd_);
}

void PictureHandover::SetTargetLocked(uint32_t* pixels, int32_t width, int32_t height) {
    target_ = pixels;
    width_ = width;
    height_ = height;
}

void PictureHandover::HandOver(const uint32_t* picture, int32_t width, int32_t height) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!target_ || width != width_ || height != height_) return;
        std::memcpy(target_, picture, size_t(width) * size_t(height) * sizeof(uint32_t));
    }
    const uint64_t one = 1;
    // A full counter already wakes the loop; nothing is lost when this write fails.
    [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof one);
}

bool PictureHandover::TakeWakeUp() {
    uint64_t count = 0;
    return read(wakeFd_, &count, sizeof count) == ssize_t(sizeof count) && count > 0;
}

void PictureHandover::WakeUp() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof one);
}

void EndPlayerForArchive(const PlayerFailure& failure) {
    std::fprintf(stderr, "noctiva: %s\n", FailureLine(failure).c_str());
    std::fflush(stderr);
    _exit(1);  // at once, from whichever thread: the other thread may be inside Xlib
}

PlaybackThread::PlaybackThread(std::string archivePath, const PlaybackSettings& settings,
                               PictureHandover& handover, FailureHandler onFailure)
    : archivePath_(std::move(archivePath)),
      settings_(settings),
      handover_(handover),
      onFailure_(std::move(onFailure)) {}

PlaybackThread::~PlaybackThread() {
    Stop();
}

void PlaybackThread::Start(std::vector<DisplayEntry> displays) {
    displays_ = std::move(displays);
    displaysChanged_ = true;
    running_ = true;
    thread_ = std::thread([this] { Run(); });
}

void PlaybackThread::ChangeDisplays(std::vector<DisplayEntry> displays) {
    std::lock_guard<std::mutex> hold(displaysLock_);
    displays_ = std::move(displays);
    displaysChanged_ = true;
}

void PlaybackThread::Stop() {
    {
        std::lock_guard<std::mutex> hold(pauseLock_);
        running_ = false;
    }
    pauseChanged_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void PlaybackThread::SetPaused(bool paused) {
    {
        std::lock_guard<std::mutex> hold(pauseLock_);
        paused_ = paused;
    }
    pauseChanged_.notify_all();
}

bool PlaybackThread::WaitWhilePaused() {
    std::unique_lock<std::mutex> hold(pauseLock_);
    if (!paused_) return false;
    pauseChanged_.wait(hold, [this] { return !paused_ || !running_.load(); });
    return true;
}

bool PlaybackThread::TakeDisplays(std::vector<DisplayEntry>& displays) {
    std::lock_guard<std::mutex> hold(displaysLock_);
    if (!displaysChanged_) return false;
    displays = displays_;
    displaysChanged_ = false;
    return true;
}

namespace {

// The renderer and the picture for one layout of the window.
struct Canvas {
    int32_t width = 0;
    int32_t height = 0;
    std::unique_ptr<SoftwareRenderer> renderer;
    std::vector<uint32_t> picture;
};

Canvas MakeCanvas(const PlaybackSettings& settings, const std::vector<DisplayEntry>& displays,
                  int32_t W, int32_t H) {
    OverlayLayout layout = LayOutOverlay(settings, displays, BoundingScreen(displays), W, H);
    Canvas canvas;
    canvas.width = layout.width;
    canvas.height = layout.height;
    canvas.picture.assign(size_t(layout.width) * size_t(layout.height), 0);
    canvas.renderer = std::make_unique<SoftwareRenderer>(W, H, layout.width, layout.height,
                                                         std::move(layout.placements));
    return canvas;
}

}  // namespace

void PlaybackThread::Run() {
    const std::string& name = archivePath_;
    try {
        ImageUnpacker unpacker;
        const std::wstring widePath = WidePathFromNative(archivePath_);
        const OpenStatus opened = unpacker.TryOpen(widePath.c_str());
        if (opened != OpenStatus::Ok) {
            return onFailure_(ArchiveFailure(name, OpenFailureReasonFor(widePath.c_str(), opened)));
        }
        if (unpacker.FrameCount() == 0) {
            unpacker.Close();
            return onFailure_(ArchiveFailure(name, kNoFramesReason));
        }
        const int32_t W = int32_t(unpacker.Width());
        const int32_t H = int32_t(unpacker.Height());
        const int32_t N = int32_t(unpacker.FrameCount());

        TurnPacing pace;
        pace.limitFps = settings_.limitFps;
        pace.Start();
        std::vector<DisplayEntry> displays;
        Canvas canvas;
        std::vector<uint8_t> frame;
        int32_t shownFrame = -1;  // nothing handed over yet
        int32_t frameIndex = 0;
        while (running_.load()) {
            if (WaitWhilePaused()) {
                pace.Start();
                continue;
            }
            if (TakeDisplays(displays)) {
                canvas = MakeCanvas(settings_, displays, W, H);
                shownFrame = -1;
            }
            // A frame that names the bytes of the picture on screen changes nothing there.
            if (!RepeatsShownFrame(unpacker.Index(), shownFrame, frameIndex)) {
                const int64_t begun = pace.PictureBegins();
                const FrameStatus status = unpacker.TryReadFrame(uint32_t(frameIndex), frame);
                if (!status.Ok()) {
                    unpacker.Close();  // given back before the failure is told
                    return onFailure_(
                        ArchiveFailure(name, FrameFailureReason(uint32_t(frameIndex), status)));
                }
                shownFrame = frameIndex;
                if (!canvas.picture.empty()) {
                    canvas.renderer->Render(frame.data(), settings_.shadowOpacity,
                                            settings_.backgroundOpacity, canvas.picture.data());
                    handover_.HandOver(canvas.picture.data(), canvas.width, canvas.height);
                    ++handedOver_;
                }
                pace.PictureShown(begun);
            } else {
                pace.RepeatShown();
            }
            const int32_t advance = pace.EndTurn();
            frameIndex = NextFrameIndex(frameIndex, advance, N);
            ++turns_;
        }
    } catch (const std::bad_alloc&) {
        onFailure_(PlaybackFailure("not enough memory for the picture"));
    }
}

std::string ArchivePathBesideExecutable() {
    char path[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return ArchivePathBeside(std::string_view(path, length > 0 ? size_t(length) : 0));
}
