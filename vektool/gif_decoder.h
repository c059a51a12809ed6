#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "picture_io.h"

// Decodes an animated GIF one frame at a time, as a browser shows it on a white page: every
// frame is drawn over what the previous one left after its disposal, transparent pixels show
// white, and only one canvas is held whatever the number of frames.
//
// stb_image decodes the pictures (its implementation is compiled in gif_decoder.cpp), but its
// own animation loop is not used: it keeps every frame at once and takes the picture to go back
// to from before its buffer. Here the canvas, the disposal and the scope of each graphic
// control block are ours.
class GifDecoder {
  public:
    // `bytes` must outlive the decoder. Fails with one line when the file is no GIF or its
    // canvas is larger than `maxPixels`, before anything is allocated for it.
    GifDecoder(std::span<const uint8_t> bytes, std::string name,
               uint64_t maxPixels = kMaxPicturePixels);
    ~GifDecoder();
    GifDecoder(const GifDecoder&) = delete;
    GifDecoder& operator=(const GifDecoder&) = delete;

    // The next frame, composed, and how long it shows in ms (0 and 10 ms count as 100 ms, as
    // browsers show them); false after the last frame. Fails with one line naming the frame.
    bool Next(GreyPicture& picture, uint32_t& delayMs);

    uint32_t Width() const { return width; }
    uint32_t Height() const { return height; }

  private:
    struct State;

    void DisposePreviousFrame();
    void ForgetGraphicControl();
    void ToGrey(GreyPicture& picture) const;

    std::unique_ptr<State> state;
    std::string name;
    uint32_t width = 0;
    uint32_t height = 0;
    uint64_t framesRead = 0;
    bool ended = false;
};

// The reason stb_image gave for its last failure on this thread, or "" when it gave none;
// clears it, so that a later failure without a reason does not show a stale one.
std::string TakeStbFailureReason();
