// A new device after a driver reset: the worker reports the loss, the window thread releases
// the device's objects and the device, makes them anew as at start and starts a new worker at
// the frame reached. Creation, the final Release and the retries stay on the window thread.
#pragma once

#include <d3d9.h>
#include <windows.h>

// Makes the Direct3D object, the device (Ex where it exists) and the picture surface for the
// overlay window, as at start: S_OK, or the failure with every member left null.
HRESULT CreateDeviceObjects();

// Releases the picture surface, the device and the object, under the picture lock.
void ReleaseDeviceObjects();

// kDeviceLostMessage: the worker ended on `loss`. Stops it, makes the device anew and starts a
// new worker; a failed creation is tried again a second later. A loss of a new device before it
// showed a picture counts as a failed recreation too; the third within a minute ends the player.
void RecoverDevice(HWND window, HRESULT loss);

// The retry timer's work: one more creation.
void RetryDeviceCreation(HWND window);

// Ends the player after the device could not be made again: the one way out of a driver reset
// that did not recover, so that the message for the user is added here alone.
[[noreturn]] void EndAfterDeviceFailure(HRESULT result);

// For a test build: called with every device made, the first one included.
using DeviceCreatedHook = void (*)(IDirect3DDevice9* device);
void SetDeviceCreatedHook(DeviceCreatedHook hook);

// The retry timer on the overlay window.
constexpr UINT_PTR kDeviceRetryTimer = 4;
