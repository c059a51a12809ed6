#include "gif_decoder.h"

#include <cstring>
#include <limits>

#include "tool_error.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_GIF
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#include <stb_image.h>

namespace {

enum Disposal { kKeep = 1, kToBackground = 2, kToPrevious = 3 };

struct Rectangle {
    uint32_t left = 0, top = 0, right = 0, bottom = 0;
};

}  // namespace

struct GifDecoder::State {
    stbi__context context{};
    stbi__gif gif{};
    int disposal = 0;  // of the frame last returned
    Rectangle area;    // where that frame was drawn
};

std::string TakeStbFailureReason() {
    const char* reason = stbi__g_failure_reason;
    stbi__g_failure_reason = nullptr;
    return reason != nullptr ? reason : "";
}

GifDecoder::GifDecoder(std::span<const uint8_t> bytes, std::string name, uint64_t maxPixels)
    : state(std::make_unique<State>()), name(std::move(name)) {
    if (bytes.size() < 10 || (std::memcmp(bytes.data(), "GIF87a", 6) != 0 &&
                              std::memcmp(bytes.data(), "GIF89a", 6) != 0)) {
        FailInput(this->name + ": not a GIF file");
    }
    if (bytes.size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
        FailInput(this->name + ": GIF file too large");
    }
    // stb allocates the canvas as soon as it has read the header: its size is checked first.
    width = bytes[6] | uint32_t{bytes[7]} << 8;
    height = bytes[8] | uint32_t{bytes[9]} << 8;
    CheckPictureSize(width, height, this->name + ": GIF", maxPixels);
    stbi__start_mem(&state->context, bytes.data(), static_cast<int>(bytes.size()));
}

GifDecoder::~GifDecoder() {
    STBI_FREE(state->gif.out);
    STBI_FREE(state->gif.background);
    STBI_FREE(state->gif.history);
}

void GifDecoder::DisposePreviousFrame() {
    stbi__gif& gif = state->gif;
    const Rectangle& area = state->area;
    // stb keeps in `background` the canvas as it was before the last frame was drawn.
    for (uint32_t y = area.top; y < area.bottom; ++y) {
        const size_t row = (size_t{y} * width + area.left) * 4;
        const size_t bytes = size_t{area.right - area.left} * 4;
        if (state->disposal == kToBackground) {
            std::memset(gif.out + row, 0, bytes);  // transparent, as browsers clear it
        } else if (state->disposal == kToPrevious) {
            std::memcpy(gif.out + row, gif.background + row, bytes);
        }
    }
}

void GifDecoder::ForgetGraphicControl() {
    // A graphic control block speaks for the one picture after it; stb would carry its
    // transparency, delay and disposal on to pictures that have none of their own.
    stbi__gif& gif = state->gif;
    if (gif.transparent >= 0) gif.pal[gif.transparent][3] = 255;
    gif.transparent = -1;
    gif.eflags = 0;  // also keeps stb from disposing by itself, with its own rules
    gif.delay = 0;
}

void GifDecoder::ToGrey(GreyPicture& picture) const {
    const stbi_uc* canvas = state->gif.out;
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(size_t{width} * height);
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        const stbi_uc* pixel = canvas + 4 * i;
        const uint32_t alpha = pixel[3];
        const uint32_t luma = stbi__compute_y(pixel[0], pixel[1], pixel[2]);
        picture.pixels[i] = static_cast<uint8_t>((luma * alpha + 255 * (255 - alpha) + 127) / 255);
    }
}

bool GifDecoder::Next(GreyPicture& picture, uint32_t& delayMs) {
    if (ended) return false;
    stbi__gif& gif = state->gif;
    stbi__context& context = state->context;
    if (framesRead > 0) {
        // Many GIFs in the wild end without their trailer.
        if (context.img_buffer >= context.img_buffer_end) {
            ended = true;
            return false;
        }
        DisposePreviousFrame();
    }
    stbi__g_failure_reason = nullptr;
    int components = 0;
    const stbi_uc* drawn = stbi__gif_load_next(&context, &gif, &components, 4, nullptr);
    if (drawn == reinterpret_cast<stbi_uc*>(&context)) {  // the trailer
        ended = true;
        return false;
    }
    if (drawn == nullptr && framesRead > 0 && context.img_buffer >= context.img_buffer_end) {
        ended = true;  // cut short after a whole frame: browsers show what arrived
        return false;
    }
    if (drawn == nullptr) {
        const std::string reason = TakeStbFailureReason();
        FailInput(name + ": cannot decode GIF frame " + std::to_string(framesRead) +
                  (reason.empty() ? "" : ": " + reason));
    }
    if (framesRead == 0) {
        // Browsers leave the logical screen's background colour unused; stb paints it.
        for (size_t i = 0; i < size_t{width} * height; ++i) {
            if (gif.history[i] == 0) std::memset(gif.out + 4 * i, 0, 4);
        }
    }
    const uint32_t lineBytes = width * 4;
    state->disposal = (gif.eflags >> 2) & 7;
    state->area = {uint32_t(gif.start_x) / 4, uint32_t(gif.start_y) / lineBytes,
                   uint32_t(gif.max_x) / 4, uint32_t(gif.max_y) / lineBytes};
    delayMs = gif.delay <= 10 ? 100 : uint32_t(gif.delay);
    ToGrey(picture);
    ForgetGraphicControl();
    ++framesRead;
    return true;
}
