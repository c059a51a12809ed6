// Test build only (NOCTIVA_DEVICE_REMOVED_ONCE): Wine cannot remove a device, so this build
// makes the first device's hand-over of its 5th picture fail with D3DERR_DEVICEREMOVED, once.
// At exit it prints "device-fault: devices=N removed_at=5 handovers_after=M": the devices made
// (the first one included) and the pictures handed over on the later ones.
#pragma once

// Installs the fault through the device-created hook; call before the first device is made.
void StartDeviceFault();
