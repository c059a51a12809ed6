#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

class InputStream;

// The largest picture that pack reads, in pixels: the most that --size can ask for
// (16384 × 16384). Sizes come from headers, so every reader checks them against this before
// it allocates anything for the picture; fuzzers give smaller limits.
inline constexpr uint64_t kMaxPicturePixels = uint64_t{16384} * 16384;

// Fails with one line, "<what> is WxH: ...", when a picture has no pixels or more than
// `maxPixels`.
void CheckPictureSize(uint64_t width, uint64_t height, const std::string& what,
                      uint64_t maxPixels = kMaxPicturePixels);

// An 8-bit grey picture, top row first, rows of exactly `width` bytes.
struct GreyPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;
};

// Decodes a binary PGM (P5, any maxval up to 65535, scaled to 0-255). `name` labels errors.
GreyPicture DecodePgm(std::span<const uint8_t> bytes, const std::string& name,
                      uint64_t maxPixels = kMaxPicturePixels);

// Decodes a PNG; colour is turned to grey by luma, and transparent pixels are composed over
// white, as a browser shows them on a white page.
GreyPicture DecodePng(std::span<const uint8_t> bytes, const std::string& name,
                      uint64_t maxPixels = kMaxPicturePixels);

enum class PictureKind { None, Pgm, Png, Jpeg, Bmp, Tga };

// The kind of picture by its first bytes, and a TGA (which has no such mark) by its name.
PictureKind PictureKindOf(std::span<const uint8_t> bytes, const std::string& name);

// Decodes a PGM, PNG, JPEG, BMP or TGA picture (PictureKindOf).
GreyPicture DecodePicture(std::span<const uint8_t> bytes, const std::string& name,
                          uint64_t maxPixels = kMaxPicturePixels);

// Reads a picture file.
GreyPicture ReadPictureFile(const std::string& path);

// The picture scaled to width × height (stb_image_resize's default filter).
GreyPicture ResizePicture(const GreyPicture& picture, uint32_t width, uint32_t height);

// Stretches limited-range luma (16 black, 235 white) to 0-255, rounded and clamped.
void StretchLimitedRange(std::span<uint8_t> pixels);

std::vector<uint8_t> EncodePgm(const GreyPicture& picture);

// The picture turned upside down: archives store the bottom row first.
std::vector<uint8_t> FlipRows(std::span<const uint8_t> pixels, uint32_t width, uint32_t height);

// Reads the Y planes of a YUV4MPEG2 stream one frame at a time. Colour streams not marked
// XCOLORRANGE=FULL hold limited-range luma, which is stretched to 0-255; mono is taken as it is.
class Y4mReader {
  public:
    Y4mReader(std::FILE* input, std::string name);
    Y4mReader(InputStream& input, std::string name, uint64_t maxPixels = kMaxPicturePixels);
    ~Y4mReader();

    // The next frame's Y plane; false at the clean end of the stream.
    bool Next(GreyPicture& picture);

    uint32_t Width() const { return width; }
    uint32_t Height() const { return height; }
    // Frames per second as rateNumerator / rateDenominator; 30 when the header gives none.
    uint32_t RateNumerator() const { return rateNumerator; }
    uint32_t RateDenominator() const { return rateDenominator; }

  private:
    void ReadStreamHeader();
    void ParseFrameRate(const std::string& value, const std::string& field);

    std::unique_ptr<InputStream> ownInput;
    InputStream& input;
    std::string name;
    uint32_t width = 0;
    uint32_t height = 0;
    uint64_t maxPixels;
    uint64_t chromaBytes = 0;
    uint64_t framesRead = 0;
    uint32_t rateNumerator = 30;
    uint32_t rateDenominator = 1;
    bool limitedRange = false;
};

// Whole-file helpers; both throw ToolError naming the path.
std::vector<uint8_t> ReadWholeFile(const std::string& path);
void WriteWholeFile(std::FILE* out, std::span<const uint8_t> bytes, const std::string& name);
