// A layer surface's pictures in wl_shm buffers of its own: only the changed area is copied and
// damaged, released buffers are reused, and a new picture waits for the compositor's frame
// callback. (GTK 3 makes a new shared-memory pool for every picture while the compositor holds
// the last one, and cannot wait for a callback without freezing its own drawing.)
#pragma once

#include <wayland-client.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "linux/wayland/output_geometry.h"

// The compositor's wl_shm, bound on GDK's connection.
class ShmGlobal {
  public:
    explicit ShmGlobal(wl_display* display);
    ~ShmGlobal();
    ShmGlobal(const ShmGlobal&) = delete;
    ShmGlobal& operator=(const ShmGlobal&) = delete;
    wl_shm* Get() const { return shm_; }

  private:
    wl_shm* shm_ = nullptr;
};

class SurfaceBuffers {
  public:
    // `width` × `height` buffer pixels, shown at `scale` buffer pixels per surface unit.
    SurfaceBuffers(wl_shm* shm, wl_surface* surface, int32_t width, int32_t height, int32_t scale);
    ~SurfaceBuffers();
    SurfaceBuffers(const SurfaceBuffers&) = delete;
    SurfaceBuffers& operator=(const SurfaceBuffers&) = delete;

    // A new picture changed `area` (buffer pixels) at `nowUs` (monotonic microseconds).
    void NoteChanged(const PixelRect& area, int64_t nowUs);
    // True when a change waits for the compositor's frame callback (or for a buffer), and since
    // when.
    bool Waiting() const { return !pending_.Empty(); }
    int64_t WaitingSince() const { return waitingSinceUs_; }
    // The picture (its top-left pixel of this surface, and the picture's row length in pixels)
    // to the surface when the compositor is ready for it; false when it waits.
    bool Present(const uint32_t* picture, int32_t stride);
    // Called on each frame callback.
    std::function<void()> onFrame;

  private:
    struct Buffer;
    static void Released(void* data, wl_buffer*);
    static void FrameDone(void* data, wl_callback* callback, uint32_t);
    Buffer* FreeBuffer();

    wl_shm* shm_;
    wl_surface* surface_;
    int32_t width_;
    int32_t height_;
    int32_t scale_;
    std::vector<std::unique_ptr<Buffer>> buffers_;
    wl_callback* frame_ = nullptr;
    PixelRect pending_;  // changed since the last commit
    int64_t waitingSinceUs_ = 0;
};
