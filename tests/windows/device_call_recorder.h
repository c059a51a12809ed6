// Records the device calls that the renderer makes, with their arguments, and can make one of
// them fail. Usable from code that sees the C or the C++ form of the Direct3D 9 interfaces.
#pragma once

#include <d3d9.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// One device call. Integer arguments go to `args` in call order; the pointer arguments that
// matter are kept in the fields below.
struct DeviceCall {
    std::string name;
    std::vector<uint64_t> args;
    D3DVIEWPORT9 viewport{};       // SetViewport
    std::vector<float> vertices;   // DrawPrimitiveUP: 4 x {x, y, z, rhw, u, v}
    const void* object = nullptr;  // SetTexture's texture, ColorFill's or UpdateSurface's surface
};

// Swaps the device's method table for one that records the calls before passing them on. One
// recorder at a time; the device's own table is put back when the recorder goes.
class DeviceCallRecorder {
  public:
    explicit DeviceCallRecorder(IDirect3DDevice9* device);
    ~DeviceCallRecorder();
    DeviceCallRecorder(const DeviceCallRecorder&) = delete;
    DeviceCallRecorder& operator=(const DeviceCallRecorder&) = delete;

    // The `occurrence`-th (1-based) later call of `name` returns D3DERR_INVALIDCALL without
    // reaching the device.
    void FailCall(const std::string& name, int occurrence);

    std::vector<DeviceCall> calls;

  private:
    IDirect3DDevice9* device_;
    const void* originalTable_;
};

// Names of the calls, in order, for failure messages.
std::string CallNames(const std::vector<DeviceCall>& calls);
