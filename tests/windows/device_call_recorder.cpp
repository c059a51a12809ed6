// The recorder works on the C form of the device interface, whose method table is a plain
// struct of named function pointers, so this file alone is compiled with CINTERFACE.
#define CINTERFACE
#include "tests/windows/device_call_recorder.h"

#include <d3d9.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct RecorderState {
    const IDirect3DDevice9Vtbl* original = nullptr;
    IDirect3DDevice9Vtbl patched{};
    std::vector<DeviceCall>* calls = nullptr;
    std::string failName;
    int failOccurrence = 0;
};

}  // namespace

namespace {

RecorderState g_state;

// Records the call; true when the caller should fail it instead of passing it on.
bool Record(DeviceCall call) {
    const bool fail = call.name == g_state.failName && --g_state.failOccurrence == 0;
    g_state.calls->push_back(std::move(call));
    return fail;
}

DeviceCall Call(const char* name, std::vector<uint64_t> args, const void* object = nullptr) {
    DeviceCall call;
    call.name = name;
    call.args = std::move(args);
    call.object = object;
    return call;
}

HRESULT WINAPI HookCreateTexture(IDirect3DDevice9* self, UINT w, UINT h, UINT levels, DWORD usage,
                                 D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture,
                                 HANDLE* shared) {
    if (Record(Call("CreateTexture", {w, h, levels, usage, uint64_t(format), uint64_t(pool),
                                      uint64_t(shared != nullptr)}))) {
        return D3DERR_INVALIDCALL;
    }
    return g_state.original->CreateTexture(self, w, h, levels, usage, format, pool, texture,
                                           shared);
}

HRESULT WINAPI HookCreateRenderTarget(IDirect3DDevice9* self, UINT w, UINT h, D3DFORMAT format,
                                      D3DMULTISAMPLE_TYPE multisample, DWORD quality, BOOL lockable,
                                      IDirect3DSurface9** surface, HANDLE* shared) {
    if (Record(Call("CreateRenderTarget", {w, h, uint64_t(format), uint64_t(multisample), quality,
                                           uint64_t(lockable), uint64_t(shared != nullptr)}))) {
        return D3DERR_INVALIDCALL;
    }
    return g_state.original->CreateRenderTarget(self, w, h, format, multisample, quality, lockable,
                                                surface, shared);
}

HRESULT WINAPI HookCreateOffscreenPlainSurface(IDirect3DDevice9* self, UINT w, UINT h,
                                               D3DFORMAT format, D3DPOOL pool,
                                               IDirect3DSurface9** surface, HANDLE* shared) {
    if (Record(Call("CreateOffscreenPlainSurface",
                    {w, h, uint64_t(format), uint64_t(pool), uint64_t(shared != nullptr)}))) {
        return D3DERR_INVALIDCALL;
    }
    return g_state.original->CreateOffscreenPlainSurface(self, w, h, format, pool, surface, shared);
}

HRESULT WINAPI HookSetRenderTarget(IDirect3DDevice9* self, DWORD index, IDirect3DSurface9* rt) {
    if (Record(Call("SetRenderTarget", {index}, rt))) return D3DERR_INVALIDCALL;
    return g_state.original->SetRenderTarget(self, index, rt);
}

HRESULT WINAPI HookSetRenderState(IDirect3DDevice9* self, D3DRENDERSTATETYPE state, DWORD value) {
    if (Record(Call("SetRenderState", {uint64_t(state), value}))) return D3DERR_INVALIDCALL;
    return g_state.original->SetRenderState(self, state, value);
}

HRESULT WINAPI HookSetSamplerState(IDirect3DDevice9* self, DWORD sampler, D3DSAMPLERSTATETYPE type,
                                   DWORD value) {
    if (Record(Call("SetSamplerState", {sampler, uint64_t(type), value}))) {
        return D3DERR_INVALIDCALL;
    }
    return g_state.original->SetSamplerState(self, sampler, type, value);
}

HRESULT WINAPI HookUpdateSurface(IDirect3DDevice9* self, IDirect3DSurface9* source,
                                 const RECT* sourceRect, IDirect3DSurface9* destination,
                                 const POINT* destinationPoint) {
    // Whether each was given, then the source rectangle and the destination point, if given.
    std::vector<uint64_t> args = {uint64_t(sourceRect != nullptr),
                                  uint64_t(destinationPoint != nullptr)};
    if (sourceRect != nullptr) {
        args.insert(args.end(), {uint64_t(sourceRect->left), uint64_t(sourceRect->top),
                                 uint64_t(sourceRect->right), uint64_t(sourceRect->bottom)});
    }
    if (destinationPoint != nullptr) {
        args.insert(args.end(), {uint64_t(destinationPoint->x), uint64_t(destinationPoint->y)});
    }
    if (Record(Call("UpdateSurface", std::move(args), destination))) {
        return D3DERR_INVALIDCALL;
    }
    return g_state.original->UpdateSurface(self, source, sourceRect, destination, destinationPoint);
}

HRESULT WINAPI HookColorFill(IDirect3DDevice9* self, IDirect3DSurface9* surface, const RECT* rect,
                             D3DCOLOR color) {
    if (Record(Call("ColorFill", {uint64_t(rect != nullptr), color}, surface))) {
        return D3DERR_INVALIDCALL;
    }
    return g_state.original->ColorFill(self, surface, rect, color);
}

HRESULT WINAPI HookBeginScene(IDirect3DDevice9* self) {
    if (Record(Call("BeginScene", {}))) return D3DERR_INVALIDCALL;
    return g_state.original->BeginScene(self);
}

HRESULT WINAPI HookEndScene(IDirect3DDevice9* self) {
    if (Record(Call("EndScene", {}))) return D3DERR_INVALIDCALL;
    return g_state.original->EndScene(self);
}

HRESULT WINAPI HookSetViewport(IDirect3DDevice9* self, const D3DVIEWPORT9* viewport) {
    DeviceCall call = Call("SetViewport", {});
    call.viewport = *viewport;
    if (Record(std::move(call))) return D3DERR_INVALIDCALL;
    return g_state.original->SetViewport(self, viewport);
}

HRESULT WINAPI HookSetTexture(IDirect3DDevice9* self, DWORD stage, IDirect3DBaseTexture9* texture) {
    if (Record(Call("SetTexture", {stage}, texture))) return D3DERR_INVALIDCALL;
    return g_state.original->SetTexture(self, stage, texture);
}

HRESULT WINAPI HookSetFVF(IDirect3DDevice9* self, DWORD fvf) {
    if (Record(Call("SetFVF", {fvf}))) return D3DERR_INVALIDCALL;
    return g_state.original->SetFVF(self, fvf);
}

HRESULT WINAPI HookDrawPrimitiveUP(IDirect3DDevice9* self, D3DPRIMITIVETYPE type, UINT count,
                                   const void* data, UINT stride) {
    DeviceCall call = Call("DrawPrimitiveUP", {uint64_t(type), count, stride});
    if (type == D3DPT_TRIANGLESTRIP && count == 2 && stride == 24) {
        call.vertices.resize(24);
        std::memcpy(call.vertices.data(), data, 24 * sizeof(float));
    }
    if (Record(std::move(call))) return D3DERR_INVALIDCALL;
    return g_state.original->DrawPrimitiveUP(self, type, count, data, stride);
}

HRESULT WINAPI HookGetRenderTargetData(IDirect3DDevice9* self, IDirect3DSurface9* renderTarget,
                                       IDirect3DSurface9* destination) {
    if (Record(Call("GetRenderTargetData", {}, destination))) return D3DERR_INVALIDCALL;
    return g_state.original->GetRenderTargetData(self, renderTarget, destination);
}

}  // namespace

DeviceCallRecorder::DeviceCallRecorder(IDirect3DDevice9* device)
    : device_(device), originalTable_(device->lpVtbl) {
    g_state.original = device->lpVtbl;
    g_state.patched = *device->lpVtbl;
    g_state.calls = &calls;
    g_state.failName.clear();
    g_state.failOccurrence = 0;
    IDirect3DDevice9Vtbl& t = g_state.patched;
    t.CreateTexture = HookCreateTexture;
    t.CreateRenderTarget = HookCreateRenderTarget;
    t.CreateOffscreenPlainSurface = HookCreateOffscreenPlainSurface;
    t.SetRenderTarget = HookSetRenderTarget;
    t.SetRenderState = HookSetRenderState;
    t.SetSamplerState = HookSetSamplerState;
    t.UpdateSurface = HookUpdateSurface;
    t.ColorFill = HookColorFill;
    t.BeginScene = HookBeginScene;
    t.EndScene = HookEndScene;
    t.SetViewport = HookSetViewport;
    t.SetTexture = HookSetTexture;
    t.SetFVF = HookSetFVF;
    t.DrawPrimitiveUP = HookDrawPrimitiveUP;
    t.GetRenderTargetData = HookGetRenderTargetData;
    device->lpVtbl = &g_state.patched;
}

DeviceCallRecorder::~DeviceCallRecorder() {
    device_->lpVtbl =
        const_cast<IDirect3DDevice9Vtbl*>(static_cast<const IDirect3DDevice9Vtbl*>(originalTable_));
    g_state.calls = nullptr;
}

void DeviceCallRecorder::FailCall(const std::string& name, int occurrence) {
    g_state.failName = name;
    g_state.failOccurrence = occurrence;
}

std::string CallNames(const std::vector<DeviceCall>& calls) {
    std::string names;
    for (const DeviceCall& call : calls) names += call.name + " ";
    return names;
}
