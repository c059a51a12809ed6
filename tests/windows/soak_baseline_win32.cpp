// The platform's share of a long run: the calls the player makes for every picture (fill a
// render target, copy it into a system-memory surface, take the surface's device context, hand
// it to UpdateLayeredWindow, give it back), at 30 pictures a second on a window the size of the
// virtual screen, with nothing of the player around them. Runs for the seconds given on the
// command line and samples its resources like the player's soak build (scripts/soak.sh).
//
//   soak_baseline.exe SECONDS [uploads]
//
// "uploads" adds the player's two texture uploads per picture, each through a staging surface
// made and released for it, to tell their share of a growth from the rest of the player's.
#include <d3d9.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <cwchar>

#include "windows/device.h"
#include "windows/resource_sampler.h"

namespace {

LRESULT CALLBACK BaselineProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateBaselineWindow(HINSTANCE instance, int width, int height) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = BaselineProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"NoctivaSoakBaseline";
    RegisterClassExW(&windowClass);
    return CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOPMOST,
                           windowClass.lpszClassName, L"soak baseline",
                           WS_POPUP | WS_VISIBLE | WS_SYSMENU, 0, 0, width, height, nullptr,
                           nullptr, instance, nullptr);
}

// One 480x360 upload into a 512x512 texture through a fresh system-memory staging surface.
bool UploadThroughStaging(IDirect3DDevice9* device, IDirect3DTexture9* texture) {
    IDirect3DSurface9* staging = nullptr;
    IDirect3DSurface9* level = nullptr;
    D3DLOCKED_RECT locked{};
    bool ok = SUCCEEDED(device->CreateOffscreenPlainSurface(
                  512, 512, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &staging, nullptr)) &&
              SUCCEEDED(staging->LockRect(&locked, nullptr, 0));
    if (ok) {
        for (int row = 0; row < 360; ++row) {
            std::memset(static_cast<uint8_t*>(locked.pBits) + row * locked.Pitch, row, 480 * 4);
        }
        staging->UnlockRect();
        ok = SUCCEEDED(texture->GetSurfaceLevel(0, &level)) &&
             SUCCEEDED(device->UpdateSurface(staging, nullptr, level, nullptr));
    }
    if (level) level->Release();
    if (staging) staging->Release();
    return ok;
}

bool DispatchPending() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) return false;
        DispatchMessageW(&message);
    }
    return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
    wchar_t* rest = nullptr;
    const ULONGLONG seconds = std::wcstoull(commandLine, &rest, 10);
    const bool uploads = std::wcsstr(rest, L"uploads") != nullptr;
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    HWND window = CreateBaselineWindow(instance, width, height);
    if (!window) return 1;
    D3DPRESENT_PARAMETERS parameters{};
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.hDeviceWindow = window;
    parameters.Windowed = TRUE;
    const PlayerDevice made = CreatePlayerDevice(window, parameters, FindDirect3DCreate9Ex());
    if (!made.device) return 1;
    IDirect3DSurface9* target = nullptr;
    IDirect3DSurface9* picture = nullptr;
    if (FAILED(made.device->CreateRenderTarget(width, height, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE,
                                               0, TRUE, &target, nullptr)) ||
        FAILED(made.device->CreateOffscreenPlainSurface(width, height, D3DFMT_A8R8G8B8,
                                                        D3DPOOL_SYSTEMMEM, &picture, nullptr))) {
        return 1;
    }
    IDirect3DTexture9* textures[2] = {};
    for (IDirect3DTexture9*& texture : textures) {
        if (uploads && FAILED(made.device->CreateTexture(512, 512, 0, 0, D3DFMT_A8R8G8B8,
                                                         D3DPOOL_DEFAULT, &texture, nullptr))) {
            return 1;
        }
    }
    HDC screen = GetDC(nullptr);
    StartResourceSampler(60000);

    const ULONGLONG end = GetTickCount64() + seconds * 1000;
    POINT origin{0, 0};
    SIZE size{width, height};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    while (DispatchPending() && GetTickCount64() < end) {
        for (IDirect3DTexture9* texture : textures) {
            if (texture && !UploadThroughStaging(made.device, texture)) return 1;
        }
        HDC surfaceDC = nullptr;
        if (FAILED(made.device->ColorFill(target, nullptr, 0x20000000u)) ||
            FAILED(made.device->GetRenderTargetData(target, picture)) ||
            FAILED(picture->GetDC(&surfaceDC))) {
            return 1;
        }
        UpdateLayeredWindow(window, screen, &origin, &size, surfaceDC, &origin, 0, &blend,
                            ULW_ALPHA);
        picture->ReleaseDC(surfaceDC);
        Sleep(33);
    }
    for (IDirect3DTexture9* texture : textures) {
        if (texture) texture->Release();
    }
    picture->Release();
    target->Release();
    made.device->Release();
    made.direct3D->Release();
    return 0;
}
