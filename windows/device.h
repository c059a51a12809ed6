// The Direct3D 9 object and device of the player, made the same way for the player and for the
// tests that compare its pixels.
#pragma once

#include <d3d9.h>
#include <windows.h>

using Direct3DCreate9ExFunction = HRESULT(WINAPI*)(UINT, IDirect3D9Ex**);

// d3d9.dll's Direct3DCreate9Ex, or nullptr where the system has none.
Direct3DCreate9ExFunction FindDirect3DCreate9Ex();

struct PlayerDevice {
    IDirect3D9* direct3D = nullptr;  // an IDirect3D9Ex when the device is one
    IDirect3DDevice9* device = nullptr;
};

// Creates the object and a HAL device for `window` with the player's behaviour (software
// vertex processing, multithreaded, FPU preserved) and `parameters`. With `createEx` the pair is
// an Ex object and device, which the secure desktop (lock screen, elevation prompt) does not
// make lost and whose default-pool resources survive it; without it, or when it makes no
// object or no device, the plain pair. Members stay null where creation failed.
PlayerDevice CreatePlayerDevice(HWND window, D3DPRESENT_PARAMETERS& parameters,
                                Direct3DCreate9ExFunction createEx);
