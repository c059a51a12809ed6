#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

// An 8-bit grey picture, top row first, rows of exactly `width` bytes.
struct GreyPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;
};

// Decodes a binary PGM (P5, any maxval up to 65535, scaled to 0-255). `name` labels errors.
GreyPicture DecodePgm(std::span<const uint8_t> bytes, const std::string& name);

// Decodes a PNG; colour is turned to grey by luma, alpha dropped.
GreyPicture DecodePng(std::span<const uint8_t> bytes, const std::string& name);

// Reads a PGM or PNG file, told apart by their first bytes.
GreyPicture ReadPictureFile(const std::string& path);

std::vector<uint8_t> EncodePgm(const GreyPicture& picture);

// The picture turned upside down: archives store the bottom row first.
std::vector<uint8_t> FlipRows(std::span<const uint8_t> pixels, uint32_t width, uint32_t height);

// Reads the Y planes of a YUV4MPEG2 stream one frame at a time.
class Y4mReader {
  public:
    Y4mReader(std::FILE* input, std::string name);

    // The next frame's Y plane; false at the clean end of the stream.
    bool Next(GreyPicture& picture);

    uint32_t Width() const { return width; }
    uint32_t Height() const { return height; }

  private:
    void ReadStreamHeader();

    std::FILE* input;
    std::string name;
    uint32_t width = 0;
    uint32_t height = 0;
    uint64_t chromaBytes = 0;
    uint64_t framesRead = 0;
};

// Whole-file helpers; both throw ToolError naming the path.
std::vector<uint8_t> ReadWholeFile(const std::string& path);
void WriteWholeFile(std::FILE* out, std::span<const uint8_t> bytes, const std::string& name);
