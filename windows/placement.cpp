#include "windows/placement.h"

#include <d3d9.h>
#include <windows.h>

#include <cstddef>

// The Direct3D path hands Placement::viewport to SetViewport as a D3DVIEWPORT9.
static_assert(sizeof(Viewport) == sizeof(D3DVIEWPORT9));
static_assert(alignof(Viewport) == alignof(D3DVIEWPORT9));
static_assert(offsetof(Viewport, X) == offsetof(D3DVIEWPORT9, X));
static_assert(offsetof(Viewport, Y) == offsetof(D3DVIEWPORT9, Y));
static_assert(offsetof(Viewport, Width) == offsetof(D3DVIEWPORT9, Width));
static_assert(offsetof(Viewport, Height) == offsetof(D3DVIEWPORT9, Height));
static_assert(offsetof(Viewport, MinZ) == offsetof(D3DVIEWPORT9, MinZ));
static_assert(offsetof(Viewport, MaxZ) == offsetof(D3DVIEWPORT9, MaxZ));

VirtualScreen QueryVirtualScreen() {
    VirtualScreen screen;
    screen.x = GetSystemMetrics(SM_XVIRTUALSCREEN);
    screen.y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    screen.width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    screen.height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    return screen;
}
