#include "windows/playback_worker.h"

#include <windows.h>

#include <cstdlib>
#include <new>
#include <vector>

#include "archive/archive_failure.h"
#include "archive/frame_repeat.h"
#include "archive/image_unpacker.h"
#include "playback/archive_argument.h"
#include "playback/frame_clock.h"
#include "playback/frame_turn.h"
#include "render/compose.h"
#include "render/overlay_layout.h"
#include "render/placement.h"
#include "render/screen_cover.h"
#include "windows/app_state.h"
#include "windows/failure_notice.h"
#include "windows/frame_renderer.h"
#include "windows/process_exit.h"
#include "windows/system_paths.h"
#include "windows/text_conversion.h"

namespace {

// A failure of the run (the archive, a device call): thrown, so that the run gives back what it
// holds as it unwinds, and told by RunPlayback.
struct PlaybackFailed {
    PlayerFailure failure;
};

PictureOutput AppPictureOutput() {
    PictureOutput output;
    output.device = g_app.playback.device;
    output.pictureSurface = g_app.playback.pictureSurface;
    output.pictureLock = &g_app.process.pictureLock;
    output.frameReady = g_app.process.frameReady;
    output.width = g_app.playback.windowSize.cx;
    output.height = g_app.playback.windowSize.cy;
    return output;
}

// Where a run starts: the frame a previous worker reached, or frame 0.
int32_t StartingFrame(int32_t reached, int32_t frameCount) {
    return reached >= 0 && reached < frameCount ? reached : 0;
}

struct Playback {
    const std::string& shownPath;  // the archive's path in messages
    ImageUnpacker& unpacker;
    int32_t W, H;
    const PictureOutput& output;
    const std::vector<Placement>& placements;
    const std::vector<MonitorEntry>& hiddenAreas;
    FrameResources& resources;
    const WorkerHooks* hooks;
    std::vector<uint8_t>& frame;  // kept across turns, so that reading allocates only once
};

// Read, compose, render and hand over one frame.
void ShowFrame(const Playback& p, int32_t frameIndex) {
    const PlaybackSettings& settings = g_app.playback.settings;
    const FrameStatus status = p.unpacker.TryReadFrame(uint32_t(frameIndex), p.frame);
    if (!status.Ok()) {
        throw PlaybackFailed{
            ArchiveFailure(p.shownPath, FrameFailureReason(uint32_t(frameIndex), status))};
    }
    if (p.hooks && p.hooks->frameRead) p.hooks->frameRead(p.hooks->context, frameIndex);
    ComposeFrame(p.frame.data(), p.W, p.H, settings.shadowOpacity, p.resources.shadowBuffer.data(),
                 p.resources.cutoutBuffer.data());
    RenderFrame(p.resources, p.output.device, p.placements, settings.backgroundOpacity);
    ClearAreas(p.resources, p.output.device, p.hiddenAreas);
    HandOverFrame(p.resources, p.output);
    g_app.shared.deviceShowedPicture.store(true);
    if (p.hooks && p.hooks->handedOver) p.hooks->handedOver(p.hooks->context, frameIndex);
}

// Marks the device calls of a picture or of the set-up, for the window thread to tell a slow
// turn from a hung driver.
struct InDeviceCalls {
    InDeviceCalls() { g_app.shared.deviceCallsSince.store(GetTickCount() | 1); }
    ~InDeviceCalls() { g_app.shared.deviceCallsSince.store(0); }
    InDeviceCalls(const InDeviceCalls&) = delete;
    InDeviceCalls& operator=(const InDeviceCalls&) = delete;
};

// The worker's resources on the device, given back as Play ends or unwinds.
struct ReleasedAtEnd {
    FrameResources& resources;
    ~ReleasedAtEnd() { ReleaseFrameResources(resources); }
};

// Until the pause ends or the worker is asked to stop.
void WaitWhilePaused() {
    HANDLE events[] = {g_app.process.workerStop, g_app.process.resume};
    while (g_app.shared.paused.load() && g_app.shared.running.load()) {
        WaitForMultipleObjects(2, events, FALSE, INFINITE);
    }
}

// One archive, its placements and device resources, from the opening of the archive to the
// release of the resources.
void Play(const std::wstring& archivePath, const WorkerHooks* hooks) {
    const std::string shownPath = Utf8FromWide(archivePath);
    ImageUnpacker unpacker;
    const OpenStatus opened = unpacker.TryOpen(archivePath.c_str());
    if (opened != OpenStatus::Ok) {
        throw PlaybackFailed{
            ArchiveFailure(shownPath, OpenFailureReasonFor(archivePath.c_str(), opened))};
    }
    if (unpacker.FrameCount() == 0) {
        throw PlaybackFailed{ArchiveFailure(shownPath, kNoFramesReason)};
    }
    const int32_t W = int32_t(unpacker.Width());
    const int32_t H = int32_t(unpacker.Height());
    const int32_t N = int32_t(unpacker.FrameCount());

    const PlaybackSettings& settings = g_app.playback.settings;
    TurnPacing pace;
    pace.limitFps = settings.limitFps;
    pace.pacer.running = &g_app.shared.running;
    pace.Start();
    const PictureOutput output = AppPictureOutput();
    // The layout the main thread gave the window, now with the frame's size.
    const OverlayLayout layout =
        LayOutOverlay(settings, g_app.playback.displays, g_app.playback.virtualScreen, W, H);
    const std::vector<MonitorEntry> hiddenAreas =
        HiddenAreas(g_app.playback.coveredDisplays, layout);
    FrameResources resources = [&] {
        const InDeviceCalls marked;
        return SetUpFrameResources(output, W, H);
    }();
    const ReleasedAtEnd release{resources};
    std::vector<uint8_t> frame;
    const Playback playback{shownPath,         unpacker,    W,         H,     output,
                            layout.placements, hiddenAreas, resources, hooks, frame};

    int32_t frameIndex = StartingFrame(g_app.shared.frameReached.load(), N);
    int32_t shownFrame = -1;  // nothing handed over yet in this run
    while (g_app.shared.running.load()) {
        if (g_app.shared.paused.load()) {
            WaitWhilePaused();
            pace.Start();
            continue;
        }
        // A frame that names the bytes of the picture on screen changes nothing there.
        if (!RepeatsShownFrame(unpacker.Index(), shownFrame, frameIndex)) {
            const int64_t begun = pace.PictureBegins();
            {
                const InDeviceCalls marked;
                ShowFrame(playback, frameIndex);
            }
            shownFrame = frameIndex;
            pace.PictureShown(begun);
        } else {
            pace.RepeatShown();
        }
        const int32_t advance = pace.EndTurn();
        frameIndex = NextFrameIndex(frameIndex, advance, N);
        g_app.shared.frameReached.store(frameIndex);
        if (hooks && hooks->advanced) hooks->advanced(hooks->context, advance, frameIndex);
    }
}

}  // namespace

unsigned RunPlayback(const std::wstring& archivePath, const WorkerHooks* hooks) {
    NoteWorkerStarted();
    const uint32_t generation = g_app.playback.workerGeneration;
    try {
        Play(archivePath, hooks);
    } catch (const DeviceLoss& loss) {
        // The resources are released; the window thread makes a new device and a new worker.
        PostMessageW(g_app.playback.window, kDeviceLostMessage, WPARAM(loss.result),
                     LPARAM(generation));
    } catch (const DeviceCallFailed& failed) {
        EndWithFailure(DeviceFailure(failed.what, failed.result));
    } catch (const PlaybackFailed& failed) {
        EndWithFailure(failed.failure);
    } catch (const std::bad_alloc&) {
        // Out of memory (a frame or the composition buffers): told like every other failure,
        // rather than an abnormal end from an exception nobody catches.
        EndWithFailure(PlaybackFailure("not enough memory for the picture"));
    }
    NoteWorkerEnded();
    return 0;
}

unsigned __stdcall PlaybackWorker(void*) {
    const std::wstring& chosen = g_app.playback.archivePath;
    if (!chosen.empty()) return RunPlayback(chosen, nullptr);
    return RunPlayback(ArchivePathBeside(ModuleFilePath()), nullptr);
}
