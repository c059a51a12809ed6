// A new device after a driver reset: the worker reports the loss, the window thread releases
// the device's objects and the device, makes them anew as at start and starts a new worker at
// the frame reached. Creation, the final Release and the retries stay on the window thread.
#pragma once

#include <d3d9.h>
#include <windows.h>

#include <cstdint>

// Makes the Direct3D object, the device (Ex where it exists) and the picture surface for the
// overlay window, as at start: S_OK, or the failure with every member left null.
HRESULT CreateDeviceObjects();

// Releases the picture surface, the device and the object, under the picture lock.
void ReleaseDeviceObjects();

// kDeviceLostMessage from the worker of `generation`, which ended on `loss`: recovers, unless
// that worker was replaced already (its device is gone, or the new one works).
void FollowDeviceLoss(HWND window, HRESULT loss, uint32_t generation);

// The device is lost (or its picture surface cannot be made): stops the worker, makes the
// device anew and starts a new worker. A failed creation is tried again after the back-off of
// playback/device_recovery.h; a loss of a new device before it showed a picture counts as a
// failed recreation too. The player ends once the rule gives up.
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
