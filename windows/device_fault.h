// Test builds only. Wine can neither remove a device nor hang a driver, so these builds do it:
//  - NOCTIVA_DEVICE_REMOVED_ONCE: the first device's hand-over of its 5th picture fails with
//    D3DERR_DEVICEREMOVED, once. At exit it prints "device-fault: devices=N removed_at=5
//    handovers_after=M": the devices made (the first one included) and the pictures handed over
//    on the later ones.
//  - NOCTIVA_DEVICE_HANGS: after the 5th hand-over the worker's next fill of the render target
//    never returns, as in a hung driver. It prints "device-fault: hung_at=5" when it hangs. With
//    NOCTIVA_HANG_IN=copy it hangs instead in the next copy into the picture surface, which holds
//    the picture lock.
//  - NOCTIVA_SURFACE_FAILS_ONCE: the picture surface made after the first one (a display
//    change's) fails with D3DERR_DEVICELOST, once, as when a driver reset comes with the change.
//    At exit it prints "device-fault: devices=N surface_failures=1".
#pragma once

enum class DeviceFault { RemovedOnce, Hangs, SurfaceFailsOnce };

// Installs the fault through the device-created hook; call before the first device is made.
void StartDeviceFault(DeviceFault fault);
