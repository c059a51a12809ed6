#include "linux/x11/picture_presenter.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr int kShmAttachRequest = 1;  // X_ShmAttach of the MIT-SHM protocol

// Written by Xlib's error handler on the main thread, the only one that talks to the server.
ProtocolError lastProtocolError;

int RecordProtocolError(Display*, XErrorEvent* error) {
    lastProtocolError = {error->error_code, error->request_code, error->minor_code};
    return 0;
}

// True when the server refused the attach itself, not an earlier request.
bool AttachRefused(Display* display) {
    int opcode = 0, eventBase = 0, errorBase = 0;
    XQueryExtension(display, "MIT-SHM", &opcode, &eventBase, &errorBase);
    const ProtocolError error = TakeLastProtocolError();
    return error.code != 0 && error.request == opcode && error.minor == kShmAttachRequest;
}

}  // namespace

void TolerateProtocolErrors() {
    XSetErrorHandler(RecordProtocolError);
}

ProtocolError TakeLastProtocolError() {
    const ProtocolError error = lastProtocolError;
    lastProtocolError = {};
    return error;
}

PicturePresenter::PicturePresenter(Display* display, Visual* visual, int depth, Window window)
    : display_(display), visual_(visual), depth_(depth), window_(window) {
    gc_ = XCreateGC(display_, window_, 0, nullptr);
}

PicturePresenter::~PicturePresenter() {
    Release();
    if (gc_) XFreeGC(display_, gc_);
}

void PicturePresenter::Release() {
    if (!image_) return;
    if (shared_) {
        XShmDetach(display_, &segment_);
        XSync(display_, False);
        shmdt(segment_.shmaddr);
        image_->data = nullptr;
    }
    XDestroyImage(image_);  // frees the plain image's pixels too
    image_ = nullptr;
    pixels_ = nullptr;
    shared_ = false;
    width_ = height_ = 0;
}

bool PicturePresenter::MakeSharedImage(int32_t width, int32_t height) {
    if (!XShmQueryExtension(display_)) return false;
    segment_ = XShmSegmentInfo{};
    image_ = XShmCreateImage(display_, visual_, unsigned(depth_), ZPixmap, nullptr, &segment_,
                             unsigned(width), unsigned(height));
    if (!image_) return false;
    const size_t bytes = size_t(image_->bytes_per_line) * size_t(height);
    segment_.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (segment_.shmid >= 0) {
        segment_.shmaddr = static_cast<char*>(shmat(segment_.shmid, nullptr, 0));
        if (segment_.shmaddr == reinterpret_cast<char*>(-1)) segment_.shmaddr = nullptr;
    }
    bool attached = false;
    if (segment_.shmaddr) {
        segment_.readOnly = True;
        // Errors of earlier requests arrive first and are not the attach's. A server on another
        // machine refuses the attach with an error, not a result.
        XSync(display_, False);
        TakeLastProtocolError();
        if (XShmAttach(display_, &segment_)) {
            XSync(display_, False);
            attached = !AttachRefused(display_);
        }
    }
    if (segment_.shmid >= 0) shmctl(segment_.shmid, IPC_RMID, nullptr);  // gone when detached
    if (!attached) {
        if (segment_.shmaddr) shmdt(segment_.shmaddr);
        XDestroyImage(image_);
        image_ = nullptr;
        return false;
    }
    image_->data = segment_.shmaddr;
    shared_ = true;
    return true;
}

bool PicturePresenter::MakePlainImage(int32_t width, int32_t height) {
    char* data = static_cast<char*>(std::calloc(size_t(width) * size_t(height), 4));
    if (!data) return false;
    image_ = XCreateImage(display_, visual_, unsigned(depth_), ZPixmap, 0, data, unsigned(width),
                          unsigned(height), 32, 0);
    if (!image_) {
        std::free(data);
        return false;
    }
    return true;
}

bool PicturePresenter::Resize(int32_t width, int32_t height) {
    Release();
    if (width <= 0 || height <= 0) return false;
    if (!MakeSharedImage(width, height) && !MakePlainImage(width, height)) return false;
    // The renderer writes rows of 32-bit pixels without padding.
    if (image_->bits_per_pixel != 32 || image_->bytes_per_line != width * 4) {
        Release();
        return false;
    }
    width_ = width;
    height_ = height;
    pixels_ = reinterpret_cast<uint32_t*>(image_->data);
    std::memset(pixels_, 0, size_t(image_->bytes_per_line) * size_t(height));
    return true;
}

void PicturePresenter::Present() {
    if (!image_) return;
    if (shared_) {
        XShmPutImage(display_, window_, gc_, image_, 0, 0, 0, 0, unsigned(width_),
                     unsigned(height_), False);
        XSync(display_, False);  // the server has read the segment once this returns
    } else {
        XPutImage(display_, window_, gc_, image_, 0, 0, 0, 0, unsigned(width_), unsigned(height_));
        XFlush(display_);
    }
}
