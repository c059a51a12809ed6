#include "linux/wayland/surface_buffers.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <new>

namespace {

// A compositor that holds more buffers than this gets no new picture until it releases one.
constexpr size_t kMostBuffers = 3;

void RegistryGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                    uint32_t) {
    auto* shm = static_cast<wl_shm**>(data);
    if (!*shm && std::strcmp(interface, wl_shm_interface.name) == 0) {
        *shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    }
}
void RegistryGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener{RegistryGlobal, RegistryGlobalRemove};

}  // namespace

// The registry is read on a queue of its own, so that GDK's events are not dispatched here; the
// bound wl_shm goes back to the default queue, which GDK dispatches, as do the buffers made of it.
ShmGlobal::ShmGlobal(wl_display* display) {
    wl_event_queue* queue = wl_display_create_queue(display);
    auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
    wl_registry* registry = wl_display_get_registry(wrapper);
    wl_registry_add_listener(registry, &kRegistryListener, &shm_);
    wl_display_roundtrip_queue(display, queue);
    if (shm_) wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(shm_), nullptr);
    wl_registry_destroy(registry);
    wl_proxy_wrapper_destroy(wrapper);
    wl_event_queue_destroy(queue);
}

ShmGlobal::~ShmGlobal() {
    if (shm_) wl_shm_destroy(shm_);
}

struct SurfaceBuffers::Buffer {
    wl_buffer* buffer = nullptr;
    uint32_t* pixels = nullptr;
    size_t bytes = 0;
    bool held = false;  // by the compositor, until it releases it
    PixelRect stale;    // what changed since this buffer was last filled

    ~Buffer() {
        if (buffer) wl_buffer_destroy(buffer);
        if (pixels) munmap(pixels, bytes);
    }
};

SurfaceBuffers::SurfaceBuffers(wl_shm* shm, wl_surface* surface, int32_t width, int32_t height,
                               int32_t scale)
    : shm_(shm), surface_(surface), width_(width), height_(height), scale_(scale) {}

SurfaceBuffers::~SurfaceBuffers() {
    if (frame_) wl_callback_destroy(frame_);
}

void SurfaceBuffers::NoteChanged(const PixelRect& area, int64_t nowUs) {
    if (area.Empty()) return;
    if (pending_.Empty()) waitingSinceUs_ = nowUs;
    pending_ = Union(pending_, area);
    for (auto& buffer : buffers_) buffer->stale = Union(buffer->stale, area);
}

void SurfaceBuffers::Released(void* data, wl_buffer*) {
    static_cast<Buffer*>(data)->held = false;
}

void SurfaceBuffers::FrameDone(void* data, wl_callback* callback, uint32_t) {
    auto* self = static_cast<SurfaceBuffers*>(data);
    wl_callback_destroy(callback);
    self->frame_ = nullptr;
    if (self->onFrame) self->onFrame();
}

// A released buffer, or a new one (all stale) while there are few; nullptr otherwise.
SurfaceBuffers::Buffer* SurfaceBuffers::FreeBuffer() {
    for (auto& buffer : buffers_) {
        if (!buffer->held) return buffer.get();
    }
    if (buffers_.size() >= kMostBuffers) return nullptr;
    auto buffer = std::make_unique<Buffer>();
    const int32_t stride = width_ * 4;
    buffer->bytes = size_t(stride) * size_t(height_);
    const int fd = memfd_create("noctiva-picture", MFD_CLOEXEC);
    if (fd < 0) return nullptr;
    if (ftruncate(fd, off_t(buffer->bytes)) != 0) {
        close(fd);
        return nullptr;
    }
    void* pixels = mmap(nullptr, buffer->bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    buffer->pixels = static_cast<uint32_t*>(pixels);
    wl_shm_pool* pool = wl_shm_create_pool(shm_, fd, int32_t(buffer->bytes));
    buffer->buffer =
        wl_shm_pool_create_buffer(pool, 0, width_, height_, stride, WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    static const wl_buffer_listener kListener{Released};
    wl_buffer_add_listener(buffer->buffer, &kListener, buffer.get());
    buffer->stale = {0, 0, width_, height_};
    buffers_.push_back(std::move(buffer));
    return buffers_.back().get();
}

bool SurfaceBuffers::Present(const uint32_t* picture, int32_t stride) {
    if (pending_.Empty() || frame_) return false;
    Buffer* buffer = FreeBuffer();
    if (!buffer) return false;
    const PixelRect& stale = buffer->stale;
    for (int32_t y = stale.top; y < stale.top + stale.height; ++y) {
        std::memcpy(buffer->pixels + size_t(y) * width_ + stale.left,
                    picture + size_t(y) * stride + stale.left, size_t(stale.width) * 4);
    }
    buffer->stale = {};
    buffer->held = true;
    wl_surface_attach(surface_, buffer->buffer, 0, 0);
    wl_surface_set_buffer_scale(surface_, scale_);
    // In surface units: GTK 3 binds a wl_compositor older than damage_buffer.
    const PixelRect damage = SurfaceDamage(pending_, {0, 0, width_, height_}, scale_);
    wl_surface_damage(surface_, damage.left, damage.top, damage.width, damage.height);
    frame_ = wl_surface_frame(surface_);
    static const wl_callback_listener kFrameListener{FrameDone};
    wl_callback_add_listener(frame_, &kFrameListener, this);
    wl_surface_commit(surface_);
    pending_ = {};
    return true;
}
