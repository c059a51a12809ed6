#include "windows/frame_renderer.h"

namespace {

void Check(HRESULT hr) {
    if (IsDeviceLoss(hr)) throw DeviceLoss{hr};
    if (FAILED(hr)) throw DeviceCallFailed{"a graphics device call failed", hr};
}

TexturedQuad* RequireQuad(IDirect3DDevice9* device, int32_t width, int32_t height) {
    TexturedQuad* quad = CreateTexturedQuad(device, width, height);
    if (quad != nullptr) return quad;
    // The quad's calls do not say why they failed; a lost device says so here.
    Check(device->TestCooperativeLevel());
    throw DeviceCallFailed{"a texture cannot be made", E_FAIL};
}

void SetBlend(IDirect3DDevice9* device, D3DBLEND source, D3DBLEND destination) {
    Check(device->SetRenderState(D3DRS_SRCBLEND, source));
    Check(device->SetRenderState(D3DRS_DESTBLEND, destination));
}

void DrawPlacement(const FrameResources& resources, IDirect3DDevice9* device,
                   const Placement& placement) {
    const int32_t x = placement.pictureLeft;
    const int32_t y = placement.pictureTop;
    const int32_t w = placement.pictureWidth;
    const int32_t h = placement.pictureHeight;
    Check(device->SetViewport(reinterpret_cast<const D3DVIEWPORT9*>(&placement.viewport)));
    // Punch the frame's dark parts out of the fill, ...
    SetBlend(device, D3DBLEND_ZERO, D3DBLEND_INVSRCALPHA);
    Check(DrawQuad(resources.cutoutQuad, x, y, w, h));
    // ... turn what is left into white premultiplied by its alpha, ...
    SetBlend(device, D3DBLEND_DESTALPHA, D3DBLEND_ZERO);
    Check(DrawQuad(resources.whiteQuad, x, y, w, h));
    // ... and lay the shadow over it.
    SetBlend(device, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    Check(DrawQuad(resources.shadowQuad, x, y, w, h));
}

template <typename T>
void ReleaseReference(T*& reference) {
    if (reference != nullptr) reference->Release();
    reference = nullptr;
}

void SetUpInto(FrameResources& resources, const PictureOutput& output, int32_t W, int32_t H) {
    IDirect3DDevice9* device = output.device;
    resources.shadowQuad = RequireQuad(device, W, H);
    resources.cutoutQuad = RequireQuad(device, W, H);
    Check(device->CreateRenderTarget(output.width, output.height, D3DFMT_A8R8G8B8,
                                     D3DMULTISAMPLE_NONE, 0, TRUE, &resources.renderTarget,
                                     nullptr));
    Check(device->SetRenderTarget(0, resources.renderTarget));

    Check(device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE));
    Check(device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA));
    Check(device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA));
    Check(device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE));
    Check(device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR));
    Check(device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR));
    Check(device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP));
    Check(device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP));

    const size_t words = W > 0 && H > 0 ? size_t(W) * size_t(H) : 0;
    resources.shadowBuffer.assign(words, 0);
    resources.cutoutBuffer.assign(words, 0);

    resources.whiteQuad = RequireQuad(device, 1, 1);
    const uint32_t white = 0xFFFFFFFFu;
    Check(UploadPixels(resources.whiteQuad, &white));
}

}  // namespace

bool IsDeviceLoss(HRESULT result) {
    return result == D3DERR_DEVICEREMOVED || result == D3DERR_DEVICEHUNG ||
           result == D3DERR_DEVICELOST;
}

FrameResources SetUpFrameResources(const PictureOutput& output, int32_t W, int32_t H) {
    FrameResources resources;
    try {
        SetUpInto(resources, output, W, H);
    } catch (...) {  // a lost device, a failed call, no memory for the buffers
        ReleaseFrameResources(resources);
        throw;
    }
    return resources;
}

void RenderFrame(const FrameResources& resources, IDirect3DDevice9* device,
                 const std::vector<Placement>& placements, uint8_t B) {
    Check(UploadPixels(resources.shadowQuad, resources.shadowBuffer.data()));
    Check(UploadPixels(resources.cutoutQuad, resources.cutoutBuffer.data()));
    Check(device->ColorFill(resources.renderTarget, nullptr, D3DCOLOR(B) << 24));
    Check(device->BeginScene());
    for (const Placement& placement : placements) DrawPlacement(resources, device, placement);
    Check(device->EndScene());
}

void ClearAreas(const FrameResources& resources, IDirect3DDevice9* device,
                const std::vector<MonitorEntry>& areas) {
    for (const MonitorEntry& a : areas) {
        const RECT rect{a.x, a.y, a.x + a.width, a.y + a.height};
        Check(device->ColorFill(resources.renderTarget, &rect, 0));
    }
}

void HandOverFrame(const FrameResources& resources, const PictureOutput& output) {
    EnterCriticalSection(output.pictureLock);
    const HRESULT hr =
        output.device->GetRenderTargetData(resources.renderTarget, output.pictureSurface);
    LeaveCriticalSection(output.pictureLock);
    Check(hr);
    SetEvent(output.frameReady);
}

void ReleaseFrameResources(FrameResources& resources) {
    ReleaseTexturedQuad(resources.whiteQuad);
    resources.whiteQuad = nullptr;
    resources.cutoutBuffer = {};
    resources.shadowBuffer = {};
    ReleaseReference(resources.renderTarget);
    ReleaseTexturedQuad(resources.cutoutQuad);
    resources.cutoutQuad = nullptr;
    ReleaseTexturedQuad(resources.shadowQuad);
    resources.shadowQuad = nullptr;
}
