// Where the picture goes inside the render target: one placement per area that shows it.
#pragma once

#include <cstdint>
#include <vector>

#include "settings/monitor_list.h"
#include "settings/playback_settings.h"

// Same layout as D3DVIEWPORT9, so the Direct3D path passes it to SetViewport unchanged.
struct Viewport {
    uint32_t X = 0;
    uint32_t Y = 0;
    uint32_t Width = 0;
    uint32_t Height = 0;
    float MinZ = 0.0f;
    float MaxZ = 0.0f;
};

struct Placement {
    int32_t areaWidth = 0;
    int32_t areaHeight = 0;
    int32_t areaLeft = 0;
    int32_t areaTop = 0;
    Viewport viewport;
    int32_t pictureWidth = 0;
    int32_t pictureHeight = 0;
    int32_t pictureLeft = 0;
    int32_t pictureTop = 0;
};

struct PictureSize {
    int32_t width = 0;
    int32_t height = 0;
};

// The virtual screen: SM_XVIRTUALSCREEN, SM_YVIRTUALSCREEN, SM_CXVIRTUALSCREEN, SM_CYVIRTUALSCREEN.
struct VirtualScreen {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// Smallest size with the frame's aspect that covers the area. A frame of zero width or height
// gives the area's own size (such a frame is never drawn).
PictureSize FitPicture(int32_t areaWidth, int32_t areaHeight, int32_t frameWidth,
                       int32_t frameHeight);

// One placement for the area, with the covering picture centred on it.
Placement PlaceArea(int32_t areaLeft, int32_t areaTop, int32_t areaWidth, int32_t areaHeight,
                    int32_t frameWidth, int32_t frameHeight);

// The placement list for a display mode. `screen` is read as the platform reports it.
// WholeDesktop: one placement over the virtual screen. ChosenMonitor: one placement at (0, 0)
// with the size of monitors[monitorIndex]. EachMonitor (and any other mode): one placement per
// monitor, measured from the virtual screen's top-left corner.
//
// In ChosenMonitor mode an index that names no monitor (negative, or beyond the list, as when
// the layout changed after the settings dialog read it) is never used to read the list: the
// placement then covers the whole window (windowWidth x windowHeight), as if the index named a
// monitor of the window's size, which is what the window stands on in that mode. The first form
// takes the virtual screen's size as the window's.
std::vector<Placement> BuildPlacements(int32_t displayMode, int32_t monitorIndex,
                                       const std::vector<MonitorEntry>& monitors,
                                       int32_t frameWidth, int32_t frameHeight,
                                       const VirtualScreen& screen);
std::vector<Placement> BuildPlacements(int32_t displayMode, int32_t monitorIndex,
                                       const std::vector<MonitorEntry>& monitors,
                                       int32_t frameWidth, int32_t frameHeight,
                                       const VirtualScreen& screen, int32_t windowWidth,
                                       int32_t windowHeight);
