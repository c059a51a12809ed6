// Frames per second of the worker's per-frame path on the Direct3D 9 device, next to the
// software renderer doing the same work (decode, compose, render into a window-sized picture),
// measured in one run. Also where the device path's time goes. Run it with
// scripts/bench-windows.sh; under Wine the device is llvmpipe, so the figures say nothing about
// a real graphics card.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/image_unpacker.h"
#include "render/compose.h"
#include "render/software_renderer.h"
#include "tests/windows/frame_patterns.h"
#include "tests/windows/render_test_support.h"
#include "windows/app_state.h"
#include "windows/frame_renderer.h"
#include "windows/playback_worker.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

constexpr int32_t kArchiveFrames = 24;

struct Counter {
    int handedOver = 0;
    int stopAfter = 0;
};

// The worker's own loop, uncapped, for `frames` frames.
double DeviceFramesPerSecond(const std::wstring& archive, int frames) {
    Counter counter{0, frames};
    WorkerHooks hooks;
    hooks.context = &counter;
    hooks.handedOver = [](void* context, int32_t) {
        auto* c = static_cast<Counter*>(context);
        if (++c->handedOver == c->stopAfter) g_app.shared.running.store(false);
    };
    g_app.playback.settings.limitFps = false;
    g_app.shared.running.store(true);
    const Clock::time_point start = Clock::now();
    RunPlayback(archive, &hooks);
    return frames / Seconds(start, Clock::now());
}

// The same frames through the software renderer into a picture of the same size.
double SoftwareFramesPerSecond(const std::wstring& archive, int frames, int32_t width,
                               int32_t height) {
    ImageUnpacker unpacker;
    unpacker.Open(archive);
    const int32_t W = int32_t(unpacker.Width()), H = int32_t(unpacker.Height());
    SoftwareRenderer renderer(W, H, width, height, {PlaceArea(0, 0, width, height, W, H)});
    std::vector<uint32_t> picture(size_t(width) * height);
    std::vector<uint8_t> frame;
    const Clock::time_point start = Clock::now();
    for (int n = 0; n < frames; ++n) {
        unpacker.ReadFrame(uint32_t(n % kArchiveFrames), frame);
        renderer.Render(frame.data(), g_app.playback.settings.shadowOpacity,
                        g_app.playback.settings.backgroundOpacity, picture.data());
    }
    return frames / Seconds(start, Clock::now());
}

// Waits until the device has done everything queued so far: the device works through a queue
// of its own, so without this the copy-back would absorb the drawing's time.
void Finish(IDirect3DDevice9* device) {
    IDirect3DQuery9* query = nullptr;
    if (FAILED(device->CreateQuery(D3DQUERYTYPE_EVENT, &query))) return;
    query->Issue(D3DISSUE_END);
    // Yield while waiting: a busy wait would take a core from the rasteriser's threads.
    while (query->GetData(nullptr, 0, D3DGETDATA_FLUSH) == S_FALSE) Sleep(0);
    query->Release();
}

struct Breakdown {
    double readCompose = 0, upload = 0, draw = 0, copyBack = 0;
};

// The per-frame path step by step, each step waited for.
Breakdown MeasureSteps(const std::wstring& archive, int frames, int32_t width, int32_t height) {
    PictureOutput output{g_app.playback.device,
                         g_app.playback.pictureSurface,
                         &g_app.process.pictureLock,
                         g_app.process.frameReady,
                         width,
                         height};
    ImageUnpacker unpacker;
    unpacker.Open(archive);
    const int32_t W = int32_t(unpacker.Width()), H = int32_t(unpacker.Height());
    FrameResources resources = SetUpFrameResources(output, W, H);
    const std::vector<Placement> placements = {PlaceArea(0, 0, width, height, W, H)};
    IDirect3DDevice9* device = g_app.playback.device;
    Breakdown total;
    std::vector<uint8_t> frame;
    for (int n = 0; n < frames; ++n) {
        const Clock::time_point t0 = Clock::now();
        unpacker.ReadFrame(uint32_t(n % kArchiveFrames), frame);
        ComposeFrame(frame.data(), W, H, g_app.playback.settings.shadowOpacity,
                     resources.shadowBuffer.data(), resources.cutoutBuffer.data());
        const Clock::time_point t1 = Clock::now();
        UploadPixels(resources.shadowQuad, resources.shadowBuffer.data());
        UploadPixels(resources.cutoutQuad, resources.cutoutBuffer.data());
        Finish(device);
        const Clock::time_point t2 = Clock::now();
        // The drawing of RenderFrame, without its uploads.
        device->ColorFill(resources.renderTarget, nullptr,
                          D3DCOLOR(g_app.playback.settings.backgroundOpacity) << 24);
        device->BeginScene();
        for (const Placement& p : placements) {
            device->SetViewport(reinterpret_cast<const D3DVIEWPORT9*>(&p.viewport));
            const D3DBLEND blends[3][2] = {{D3DBLEND_ZERO, D3DBLEND_INVSRCALPHA},
                                           {D3DBLEND_DESTALPHA, D3DBLEND_ZERO},
                                           {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA}};
            TexturedQuad* quads[3] = {resources.cutoutQuad, resources.whiteQuad,
                                      resources.shadowQuad};
            for (int draw = 0; draw < 3; ++draw) {
                device->SetRenderState(D3DRS_SRCBLEND, blends[draw][0]);
                device->SetRenderState(D3DRS_DESTBLEND, blends[draw][1]);
                DrawQuad(quads[draw], p.pictureLeft, p.pictureTop, p.pictureWidth, p.pictureHeight);
            }
        }
        device->EndScene();
        Finish(device);
        const Clock::time_point t3 = Clock::now();
        // The device defers the copy until the picture is read, as the presentation loop's
        // GetDC does; reading it here counts the whole copy.
        HandOverFrame(resources, output);
        D3DLOCKED_RECT locked{};
        if (SUCCEEDED(
                g_app.playback.pictureSurface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
            g_app.playback.pictureSurface->UnlockRect();
        }
        const Clock::time_point t4 = Clock::now();
        total.readCompose += Seconds(t0, t1);
        total.upload += Seconds(t1, t2);
        total.draw += Seconds(t2, t3);
        total.copyBack += Seconds(t3, t4);
    }
    ReleaseFrameResources(resources);
    const double perFrameMs = 1000.0 / frames;
    return {total.readCompose * perFrameMs, total.upload * perFrameMs, total.draw * perFrameMs,
            total.copyBack * perFrameMs};
}

bool Prepare(int32_t width, int32_t height, const TestDevice& device) {
    if (g_app.playback.pictureSurface != nullptr) g_app.playback.pictureSurface->Release();
    g_app.playback.device = device.device;
    g_app.playback.pictureSurface = CreatePictureSurface(device.device, width, height);
    g_app.playback.windowSize = {width, height};
    g_app.playback.settings.displayMode = ChosenMonitor;
    g_app.playback.settings.monitorIndex = 0;
    StandOnOneDisplay(width, height);
    return g_app.playback.pictureSurface != nullptr;
}

// An archive of alternating gradient and disc frames of one size; empty on failure.
std::wstring WriteBenchArchive(const std::wstring& directory, int32_t W, int32_t H) {
    std::vector<std::vector<uint8_t>> content;
    for (int i = 0; i < kArchiveFrames; ++i) {
        content.push_back(MakeFrame(i % 2 ? Pattern::Disc : Pattern::Gradient, W, H, i));
    }
    const std::wstring archive =
        directory + L"vek-" + std::to_wstring(W) + L"x" + std::to_wstring(H) + L".bin";
    return WriteArchive(archive, W, H, content) ? archive : std::wstring();
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 120;
    const std::wstring directory = MakeTempDirectory(L"bench");
    const int32_t frameSizes[][2] = {{480, 360}, {1920, 1080}};
    std::wstring archives[2];
    for (int i = 0; i < 2; ++i) {
        if (!directory.empty()) {
            archives[i] = WriteBenchArchive(directory, frameSizes[i][0], frameSizes[i][1]);
        }
        if (archives[i].empty()) {
            std::fprintf(stderr, "cannot write the benchmark archive\n");
            return 1;
        }
    }
    InitializeCriticalSection(&g_app.process.pictureLock);
    g_app.process.frameReady = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    TestDevice device = CreateTestDevice(64, 64);
    if (device.device == nullptr) {
        std::fprintf(stderr, "no Direct3D 9 device\n");
        return 1;
    }
    g_app.playback.settings.shadowOpacity = 255;
    g_app.playback.settings.backgroundOpacity = 0;

    std::printf(
        "Direct3D 9 path on llvmpipe under Wine (not a real graphics card), %d frames per row\n",
        frames);
    const int32_t sizes[][2] = {{1280, 720}, {1920, 1080}};
    for (const auto& size : sizes) {
        if (!Prepare(size[0], size[1], device)) return 1;
        double deviceFps[2] = {};
        for (int i = 0; i < 2; ++i) {
            DeviceFramesPerSecond(archives[i], 5);  // warm up the device's shaders and caches
            deviceFps[i] = DeviceFramesPerSecond(archives[i], frames);
            const double softwareFps =
                SoftwareFramesPerSecond(archives[i], frames, size[0], size[1]);
            const Breakdown steps = MeasureSteps(archives[i], frames / 2, size[0], size[1]);
            std::printf(
                "desktop %dx%d, frames %dx%d: device %.1f fps, software renderer %.1f fps, "
                "device/software %.2f\n",
                size[0], size[1], frameSizes[i][0], frameSizes[i][1], deviceFps[i], softwareFps,
                deviceFps[i] / softwareFps);
            std::printf(
                "  device steps, each waited for (ms per frame): read+compose %.2f, upload "
                "%.2f, fill+draw %.2f, GetRenderTargetData until readable %.2f\n",
                steps.readCompose, steps.upload, steps.draw, steps.copyBack);
        }
        std::printf("desktop %dx%d: device fps of %dx%d frames / %dx%d frames: %.2f\n", size[0],
                    size[1], frameSizes[1][0], frameSizes[1][1], frameSizes[0][0], frameSizes[0][1],
                    deviceFps[1] / deviceFps[0]);
    }
    g_app.playback.pictureSurface->Release();
    g_app.playback.pictureSurface = nullptr;
    g_app.playback.device = nullptr;
    ReleaseTestDevice(device);
    return 0;
}
