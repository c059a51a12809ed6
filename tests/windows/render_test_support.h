// Shared by the renderer's Windows tests and benchmark: a device made the way the player's
// start-up makes it, surface read-back, a recorder of device calls, and archive writing.
#pragma once

#include <d3d9.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/windows/device_call_recorder.h"

// A hidden layered popup with the device that start-up creates for it: Direct3DCreate9(32),
// HAL, flags 0x26, windowed, discard swap effect.
struct TestDevice {
    HWND window = nullptr;
    IDirect3D9* direct3D = nullptr;
    IDirect3DDevice9* device = nullptr;
};

// Empty members when the platform refuses. Made by the player's own device creation: an Ex
// device where the system has Direct3DCreate9Ex, unless `plain` asks for the plain path.
TestDevice CreateTestDevice(int32_t width, int32_t height, bool plain = false);
void ReleaseTestDevice(TestDevice& device);

// AppState as the main thread leaves it for a window of this size standing on the only
// (primary) display: the display list, the monitor list and the virtual screen.
void StandOnOneDisplay(int32_t width, int32_t height);

// System-memory A8R8G8B8 surface, as the picture surface is made; nullptr on failure.
IDirect3DSurface9* CreatePictureSurface(IDirect3DDevice9* device, int32_t width, int32_t height);

// The surface's pixels, rows top-down without padding; empty when it cannot be locked.
std::vector<uint32_t> ReadSurface(IDirect3DSurface9* surface);

// Writes an archive of frames (each W x H grey bytes, bottom row first); false on failure.
bool WriteArchive(const std::wstring& path, int32_t W, int32_t H,
                  const std::vector<std::vector<uint8_t>>& frames);
// The same with each picture stored once: frame i's index entry names the stream of
// pictures[sequence[i]], as a deduplicating packer writes repeated stills.
bool WriteArchive(const std::wstring& path, int32_t W, int32_t H,
                  const std::vector<std::vector<uint8_t>>& pictures,
                  const std::vector<int32_t>& sequence);

// A fresh directory under the system's temporary directory.
std::wstring MakeTempDirectory(const std::wstring& tag);

// This executable's full path.
std::wstring ModulePath();

// Runs `exe` with `arguments` and returns its exit status, or -1 when it could not start or did
// not end within `timeoutMs` (it is then terminated). Its standard output goes into `output`.
int RunChild(const std::wstring& exe, const std::wstring& arguments, DWORD timeoutMs,
             std::string* output);
