// Shows the window-sized premultiplied A8R8G8B8 picture in the overlay window (32-bit, or 24-bit
// where the alpha byte is left out): through MIT-SHM where the server shares memory with us, else
// through plain XPutImage.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstdint>

class PicturePresenter {
  public:
    PicturePresenter(Display* display, Visual* visual, int depth, Window window);
    ~PicturePresenter();
    PicturePresenter(const PicturePresenter&) = delete;
    PicturePresenter& operator=(const PicturePresenter&) = delete;

    // A picture of this size, transparent black; false when no image can be made.
    bool Resize(int32_t width, int32_t height);

    uint32_t* Pixels() const { return pixels_; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    bool UsesSharedMemory() const { return shared_; }

    // Puts the whole picture into the window. Returns once the server has read the pixels, so
    // they may be written again.
    void Present();

  private:
    void Release();
    bool MakeSharedImage(int32_t width, int32_t height);
    bool MakePlainImage(int32_t width, int32_t height);

    Display* display_;
    Visual* visual_;
    int depth_;
    Window window_;
    GC gc_ = nullptr;
    XImage* image_ = nullptr;
    XShmSegmentInfo segment_{};
    bool shared_ = false;
    uint32_t* pixels_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

// Replaces Xlib's handler, which ends the process on any protocol error, by one that only
// records the error: a restack or focus request that the server refuses is harmless here.
void TolerateProtocolErrors();
// The last protocol error seen since the last call (code 0 for none) and the request it answers.
struct ProtocolError {
    int code = 0;
    int request = 0;  // major opcode
    int minor = 0;    // an extension's request
};
ProtocolError TakeLastProtocolError();
