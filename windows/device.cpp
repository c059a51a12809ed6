#include "windows/device.h"

namespace {

constexpr DWORD kBehaviour =
    D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED | D3DCREATE_FPU_PRESERVE;

// The Ex pair, or an empty record (the object released) when the device cannot be made.
PlayerDevice CreateExDevice(IDirect3D9Ex* direct3D, HWND window,
                            D3DPRESENT_PARAMETERS& parameters) {
    IDirect3DDevice9Ex* device = nullptr;
    if (FAILED(direct3D->CreateDeviceEx(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, kBehaviour,
                                        &parameters, nullptr, &device)) ||
        device == nullptr) {
        direct3D->Release();
        return {};
    }
    PlayerDevice result;
    result.direct3D = direct3D;
    result.device = device;  // used through its IDirect3DDevice9 side only
    return result;
}

}  // namespace

Direct3DCreate9ExFunction FindDirect3DCreate9Ex() {
    HMODULE d3d9 = GetModuleHandleW(L"d3d9.dll");
    if (d3d9 == nullptr) d3d9 = LoadLibraryW(L"d3d9.dll");
    if (d3d9 == nullptr) return nullptr;
    return reinterpret_cast<Direct3DCreate9ExFunction>(
        reinterpret_cast<void*>(GetProcAddress(d3d9, "Direct3DCreate9Ex")));
}

PlayerDevice CreatePlayerDevice(HWND window, D3DPRESENT_PARAMETERS& parameters,
                                Direct3DCreate9ExFunction createEx) {
    IDirect3D9Ex* direct3DEx = nullptr;
    if (createEx != nullptr && SUCCEEDED(createEx(D3D_SDK_VERSION, &direct3DEx)) &&
        direct3DEx != nullptr) {
        // A driver may offer the Ex object and still refuse the Ex device (a remote session, a
        // driver of the older model): the plain device is then tried as where no Ex exists.
        const PlayerDevice made = CreateExDevice(direct3DEx, window, parameters);
        if (made.device != nullptr) return made;
    }
    PlayerDevice result;
    result.direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (result.direct3D == nullptr) return result;
    result.direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, kBehaviour,
                                  &parameters, &result.device);
    return result;
}
