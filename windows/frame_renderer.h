// The worker's Direct3D 9 side: device set-up, per-frame rendering, hand-over of the finished
// picture and the release at the end of the run. A lost device (removed, hung, lost) is thrown
// as DeviceLoss, for the window thread to make a new one; any other failed call is thrown as
// DeviceCallFailed, for the worker to tell.
#pragma once

#include <d3d9.h>
#include <windows.h>

#include <cstdint>
#include <vector>

#include "render/placement.h"
#include "windows/textured_quad.h"

static_assert(sizeof(Viewport) == sizeof(D3DVIEWPORT9));

// A device call failed because the device is gone: a driver update or reset removed it, a GPU
// time-out hung it, or (the plain device) a mode change lost it.
struct DeviceLoss {
    HRESULT result;
};

// A device call failed for another reason: `what` says what could not be done.
struct DeviceCallFailed {
    const char* what;
    HRESULT result;
};

// True for the results after which only a new device helps.
bool IsDeviceLoss(HRESULT result);

// Where finished pictures go: AppState's device, picture surface, lock and event in the player.
struct PictureOutput {
    IDirect3DDevice9* device = nullptr;
    IDirect3DSurface9* pictureSurface = nullptr;
    CRITICAL_SECTION* pictureLock = nullptr;
    HANDLE frameReady = nullptr;
    int32_t width = 0;  // the picture surface's size, which the render target shares
    int32_t height = 0;
};

// Everything the worker holds on the device for its whole run.
struct FrameResources {
    TexturedQuad* shadowQuad = nullptr;
    TexturedQuad* cutoutQuad = nullptr;
    IDirect3DSurface9* renderTarget = nullptr;
    std::vector<uint32_t> shadowBuffer;  // W x H words, top row first
    std::vector<uint32_t> cutoutBuffer;
    TexturedQuad* whiteQuad = nullptr;
};

// Quads for a W x H frame, the render target of the output's size with its blend and sampler
// states, the composition buffers and the white quad. On a failure, what was made is released
// before it is thrown on.
FrameResources SetUpFrameResources(const PictureOutput& output, int32_t W, int32_t H);

// Uploads the composition buffers, fills with black at opacity B and draws every placement.
void RenderFrame(const FrameResources& resources, IDirect3DDevice9* device,
                 const std::vector<Placement>& placements, uint8_t B);

// Makes the areas (render-target pixels) transparent, where a full-screen application covers
// the display; after RenderFrame.
void ClearAreas(const FrameResources& resources, IDirect3DDevice9* device,
                const std::vector<MonitorEntry>& areas);

// Copies the render target into the picture surface under the lock, then sets frameReady.
void HandOverFrame(const FrameResources& resources, const PictureOutput& output);

// White quad, cut-out buffer, shadow buffer, render target, cut-out quad, shadow quad.
void ReleaseFrameResources(FrameResources& resources);
