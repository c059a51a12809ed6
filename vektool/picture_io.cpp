#include "picture_io.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <limits>

#include "file_names.h"
#include "gif_decoder.h"
#include "input_stream.h"
#include "tool_error.h"

// stb_image's implementation is compiled in gif_decoder.cpp.
#include <stb_image.h>
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb_image_resize.h>

namespace {

class PgmScanner {
  public:
    PgmScanner(std::span<const uint8_t> bytes, const std::string& name)
        : bytes(bytes), name(name) {}

    void SkipSpaceAndComments() {
        while (at < bytes.size()) {
            if (bytes[at] == '#') {
                while (at < bytes.size() && bytes[at] != '\n') ++at;
            } else if (std::isspace(bytes[at])) {
                ++at;
            } else {
                break;
            }
        }
    }

    uint32_t Number(const char* what) {
        SkipSpaceAndComments();
        uint64_t value = 0;
        size_t digits = 0;
        while (at < bytes.size() && std::isdigit(bytes[at])) {
            value = value * 10 + (bytes[at++] - '0');
            if (value > UINT32_MAX) FailInput(name + ": PGM " + what + " too large");
            ++digits;
        }
        if (digits == 0) FailInput(name + ": PGM header lacks its " + what);
        return static_cast<uint32_t>(value);
    }

    size_t Position() const { return at; }
    void Advance() { ++at; }
    bool AtSpace() const { return at < bytes.size() && std::isspace(bytes[at]); }

  private:
    std::span<const uint8_t> bytes;
    const std::string& name;
    size_t at = 2;
};

uint8_t ScaleSample(uint32_t value, uint32_t maxValue) {
    return static_cast<uint8_t>((std::min(value, maxValue) * 255u + maxValue / 2) / maxValue);
}

uint32_t BigEndianWord(std::span<const uint8_t> bytes, size_t at) {
    return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 |
           uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

// The PNG as stb can be given it. stb reserves room for a chunk's claimed length before it
// reads the chunk, so a claim of gigabytes in a small file is refused here first; and it copies
// an empty first IDAT chunk from a null buffer, so empty IDAT chunks, which hold no picture
// data, are left out.
std::vector<uint8_t> CheckedPngChunks(std::span<const uint8_t> bytes, const std::string& name) {
    std::vector<uint8_t> checked(bytes.begin(), bytes.begin() + std::min<size_t>(8, bytes.size()));
    size_t at = 8;
    for (; at + 8 <= bytes.size();) {
        const uint32_t length = BigEndianWord(bytes, at);
        std::string type(reinterpret_cast<const char*>(bytes.data() + at + 4), 4);
        if (!std::all_of(type.begin(), type.end(), ::isalpha)) type = "unnamed";
        if (length > bytes.size() - at - 8) {
            FailInput(name + ": cannot decode PNG: its " + type + " chunk claims " +
                      std::to_string(length) + " bytes, but the file ends " +
                      std::to_string(bytes.size() - at - 8) + " bytes later");
        }
        const size_t end = std::min(bytes.size(), at + 12 + length);
        if (length > 0 || type != "IDAT") {
            checked.insert(checked.end(), bytes.begin() + at, bytes.begin() + end);
        }
        at = end;
        if (type == "IEND") return checked;
    }
    checked.insert(checked.end(), bytes.begin() + std::min(at, bytes.size()), bytes.end());
    return checked;
}

// A picture through stb: colour turned to grey by luma, transparent pixels composed over white,
// as a browser shows them on a white page.
GreyPicture DecodeWithStb(std::span<const uint8_t> bytes, const std::string& name,
                          const std::string& kind, uint64_t maxPixels) {
    if (bytes.size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
        FailInput(name + ": " + kind + " file too large");
    }
    const int length = static_cast<int>(bytes.size());
    int width = 0, height = 0, channels = 0;
    TakeStbFailureReason();
    // stb allocates the whole picture, and more, from the header alone: its size comes first.
    if (stbi_info_from_memory(bytes.data(), length, &width, &height, &channels) == 0) {
        const std::string reason = TakeStbFailureReason();
        FailInput(name + ": cannot decode " + kind + (reason.empty() ? "" : ": " + reason));
    }
    CheckPictureSize(uint32_t(width), uint32_t(height), name, maxPixels);
    // Grey and alpha requested: stb turns colour into luma (77 R + 150 G + 29 B) / 256.
    stbi_uc* data = stbi_load_from_memory(bytes.data(), length, &width, &height, &channels, 2);
    if (data == nullptr) {
        const std::string reason = TakeStbFailureReason();
        FailInput(name + ": cannot decode " + kind + (reason.empty() ? "" : ": " + reason) + " (" +
                  std::to_string(width) + "x" + std::to_string(height) + ", " +
                  std::to_string(bytes.size()) + " bytes)");
    }
    GreyPicture picture;
    picture.width = static_cast<uint32_t>(width);
    picture.height = static_cast<uint32_t>(height);
    picture.pixels.resize(size_t{picture.width} * picture.height);
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        const uint32_t grey = data[2 * i], alpha = data[2 * i + 1];
        picture.pixels[i] = static_cast<uint8_t>((grey * alpha + 255 * (255 - alpha) + 127) / 255);
    }
    stbi_image_free(data);
    return picture;
}

bool EndsWithCaseless(const std::string& name, const std::string& ending) {
    if (name.size() < ending.size()) return false;
    for (size_t i = 0; i < ending.size(); ++i) {
        const char c = name[name.size() - ending.size() + i];
        if (std::tolower(static_cast<unsigned char>(c)) != ending[i]) return false;
    }
    return true;
}

}  // namespace

void CheckPictureSize(uint64_t width, uint64_t height, const std::string& what,
                      uint64_t maxPixels) {
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    if (width == 0 || height == 0) FailInput(what + " is " + size + ": picture has no pixels");
    if (width > UINT32_MAX || height > UINT32_MAX || width * height > maxPixels) {
        FailInput(what + " is " + size + ": picture too large (vektool takes at most " +
                  std::to_string(maxPixels) + " pixels)");
    }
}

GreyPicture DecodePgm(std::span<const uint8_t> bytes, const std::string& name, uint64_t maxPixels) {
    if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '5') {
        FailInput(name + ": not a binary PGM (P5) file");
    }
    PgmScanner scan(bytes, name);
    GreyPicture picture;
    picture.width = scan.Number("width");
    picture.height = scan.Number("height");
    const uint32_t maxValue = scan.Number("maxval");
    if (maxValue == 0 || maxValue > 65535) FailInput(name + ": PGM maxval must be 1 to 65535");
    if (!scan.AtSpace()) FailInput(name + ": PGM header not followed by white space");
    scan.Advance();
    CheckPictureSize(picture.width, picture.height, name, maxPixels);

    const uint64_t count = uint64_t{picture.width} * picture.height;
    const uint64_t sampleBytes = maxValue > 255 ? 2 : 1;
    const uint64_t available = bytes.size() - scan.Position();
    if (available < count * sampleBytes) {
        FailInput(name + ": PGM pixel data cut short (" + std::to_string(available) + " of " +
                  std::to_string(count * sampleBytes) + " bytes)");
    }
    picture.pixels.resize(count);
    const uint8_t* data = bytes.data() + scan.Position();
    for (uint64_t i = 0; i < count; ++i) {
        const uint32_t value =
            sampleBytes == 2 ? (uint32_t{data[2 * i]} << 8) | data[2 * i + 1] : data[i];
        picture.pixels[i] =
            maxValue == 255 ? static_cast<uint8_t>(value) : ScaleSample(value, maxValue);
    }
    return picture;
}

GreyPicture DecodePng(std::span<const uint8_t> bytes, const std::string& name, uint64_t maxPixels) {
    if (bytes.size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
        FailInput(name + ": PNG file too large");
    }
    // The size comes first; stb's own refusal of large pictures gives no reason that says so.
    if (bytes.size() >= 24 && std::memcmp(bytes.data() + 12, "IHDR", 4) == 0) {
        CheckPictureSize(BigEndianWord(bytes, 16), BigEndianWord(bytes, 20), name, maxPixels);
    }
    return DecodeWithStb(CheckedPngChunks(bytes, name), name, "PNG", maxPixels);
}

GreyPicture DecodePicture(std::span<const uint8_t> bytes, const std::string& name,
                          uint64_t maxPixels) {
    static constexpr uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() >= sizeof kPngSignature &&
        std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) == 0) {
        return DecodePng(bytes, name, maxPixels);
    }
    if (bytes.size() >= 2 && bytes[0] == 'P' && bytes[1] == '5') {
        return DecodePgm(bytes, name, maxPixels);
    }
    switch (PictureKindOf(bytes, name)) {
        case PictureKind::Jpeg:
            return DecodeWithStb(bytes, name, "JPEG", maxPixels);
        case PictureKind::Bmp:
            return DecodeWithStb(bytes, name, "BMP", maxPixels);
        case PictureKind::Tga:
            return DecodeWithStb(bytes, name, "TGA", maxPixels);
        default:
            break;
    }
    FailInput(name + ": not a picture that vektool reads (PNG, JPEG, BMP, TGA or binary PGM)");
}

PictureKind PictureKindOf(std::span<const uint8_t> bytes, const std::string& name) {
    const auto startsWith = [&](std::initializer_list<uint8_t> head) {
        return bytes.size() >= head.size() && std::equal(head.begin(), head.end(), bytes.begin());
    };
    if (startsWith({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'})) return PictureKind::Png;
    if (startsWith({'P', '5'})) return PictureKind::Pgm;
    if (startsWith({0xFF, 0xD8, 0xFF})) return PictureKind::Jpeg;
    if (startsWith({'B', 'M'})) return PictureKind::Bmp;
    // TGA has no mark of its own at the start: its name tells it.
    if (EndsWithCaseless(name, ".tga")) return PictureKind::Tga;
    return PictureKind::None;
}

GreyPicture ReadPictureFile(const std::string& path) {
    return DecodePicture(ReadWholeFile(path), path);
}

GreyPicture ResizePicture(const GreyPicture& picture, uint32_t width, uint32_t height) {
    if (picture.width == width && picture.height == height) return picture;
    GreyPicture resized{width, height, std::vector<uint8_t>(size_t{width} * height)};
    if (stbir_resize_uint8(picture.pixels.data(), int(picture.width), int(picture.height), 0,
                           resized.pixels.data(), int(width), int(height), 0, 1) == 0) {
        FailInput("cannot scale a picture to " + std::to_string(width) + "x" +
                  std::to_string(height));
    }
    return resized;
}

void StretchLimitedRange(std::span<uint8_t> pixels) {
    static const auto table = [] {
        std::array<uint8_t, 256> values{};
        for (int y = 0; y < 256; ++y) {
            const int stretched = ((y - 16) * 255 * 2 + 219) / (219 * 2);  // rounded
            values[y] = static_cast<uint8_t>(std::clamp(y < 16 ? 0 : stretched, 0, 255));
        }
        return values;
    }();
    for (uint8_t& value : pixels) value = table[value];
}

std::vector<uint8_t> EncodePgm(const GreyPicture& picture) {
    const std::string head =
        "P5\n" + std::to_string(picture.width) + " " + std::to_string(picture.height) + "\n255\n";
    std::vector<uint8_t> out(head.begin(), head.end());
    out.insert(out.end(), picture.pixels.begin(), picture.pixels.end());
    return out;
}

std::vector<uint8_t> FlipRows(std::span<const uint8_t> pixels, uint32_t width, uint32_t height) {
    std::vector<uint8_t> flipped(pixels.size());
    for (uint32_t row = 0; row < height; ++row) {
        std::memcpy(flipped.data() + size_t{row} * width,
                    pixels.data() + size_t{height - 1 - row} * width, width);
    }
    return flipped;
}

Y4mReader::Y4mReader(std::FILE* file, std::string name)
    : ownInput(std::make_unique<InputStream>(file)),
      input(*ownInput),
      name(std::move(name)),
      maxPixels(kMaxPicturePixels) {
    ReadStreamHeader();
}

Y4mReader::Y4mReader(InputStream& input, std::string name, uint64_t maxPixels)
    : input(input), name(std::move(name)), maxPixels(maxPixels) {
    ReadStreamHeader();
}

Y4mReader::~Y4mReader() = default;

namespace {

// One header line (stream or frame) without its newline; false at the end of input.
bool ReadHeaderLine(InputStream& input, std::string& line, const std::string& name) {
    line.clear();
    for (;;) {
        const int c = input.Get();
        if (c == EOF) {
            if (line.empty()) return false;
            FailInput(name + ": YUV4MPEG2 header line cut short");
        }
        if (c == '\n') return true;
        if (line.size() > 4096) FailInput(name + ": YUV4MPEG2 header line too long");
        line += static_cast<char>(c);
    }
}

uint64_t ChromaBytesFor(const std::string& colourSpace, uint64_t width, uint64_t height,
                        const std::string& name) {
    const uint64_t halfWidth = (width + 1) / 2, halfHeight = (height + 1) / 2;
    if (colourSpace == "mono") return 0;
    if (colourSpace == "420" || colourSpace == "420jpeg" || colourSpace == "420paldv" ||
        colourSpace == "420mpeg2") {
        return 2 * halfWidth * halfHeight;
    }
    if (colourSpace == "422") return 2 * halfWidth * height;
    if (colourSpace == "444") return 2 * width * height;
    if (colourSpace == "444alpha") return 3 * width * height;
    if (colourSpace == "411") return 2 * ((width + 3) / 4) * height;
    FailInput(name + ": unsupported YUV4MPEG2 colour space C" + colourSpace +
              " (use -pix_fmt gray or yuv420p)");
}

}  // namespace

void Y4mReader::ParseFrameRate(const std::string& value, const std::string& field) {
    const size_t colon = value.find(':');
    const auto number = [&](const std::string& digits) -> uint32_t {
        if (digits.empty() || digits.size() > 9 ||
            !std::all_of(digits.begin(), digits.end(), ::isdigit)) {
            FailInput(name + ": bad YUV4MPEG2 frame rate " + field);
        }
        return static_cast<uint32_t>(std::stoul(digits));
    };
    if (colon == std::string::npos) FailInput(name + ": bad YUV4MPEG2 frame rate " + field);
    rateNumerator = number(value.substr(0, colon));
    rateDenominator = number(value.substr(colon + 1));
    if (rateNumerator == 0 || rateDenominator == 0) {
        FailInput(name + ": bad YUV4MPEG2 frame rate " + field);
    }
}

void Y4mReader::ReadStreamHeader() {
    std::string line;
    if (!ReadHeaderLine(input, line, name) || line.rfind("YUV4MPEG2", 0) != 0) {
        FailInput(name + ": not a YUV4MPEG2 stream");
    }
    std::string colourSpace = "420jpeg";
    bool fullRange = false;
    size_t at = 9;
    while (at < line.size()) {
        const size_t end = std::min(line.find(' ', at), line.size());
        const std::string field = line.substr(at, end - at);
        at = end + 1;
        if (field.empty()) continue;
        const std::string value = field.substr(1);
        if (field[0] == 'W' || field[0] == 'H') {
            if (value.empty() || value.size() > 9 ||
                !std::all_of(value.begin(), value.end(), ::isdigit)) {
                FailInput(name + ": bad YUV4MPEG2 size field " + field);
            }
            (field[0] == 'W' ? width : height) = static_cast<uint32_t>(std::stoul(value));
        } else if (field[0] == 'C') {
            colourSpace = value;
        } else if (field[0] == 'F') {
            ParseFrameRate(value, field);
        } else if (field == "XCOLORRANGE=FULL") {
            fullRange = true;
        }
    }
    CheckPictureSize(width, height, name, maxPixels);
    chromaBytes = ChromaBytesFor(colourSpace, width, height, name);
    limitedRange = colourSpace != "mono" && !fullRange;
}

bool Y4mReader::Next(GreyPicture& picture) {
    std::string line;
    if (!ReadHeaderLine(input, line, name)) return false;
    if (line.rfind("FRAME", 0) != 0) {
        FailInput(name + ": frame " + std::to_string(framesRead) + ": missing FRAME header");
    }
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(size_t{width} * height);
    if (input.Read(picture.pixels.data(), picture.pixels.size()) != picture.pixels.size()) {
        FailInput(name + ": frame " + std::to_string(framesRead) + " cut short");
    }
    for (uint64_t left = chromaBytes; left > 0;) {
        char skip[65536];
        const size_t chunk = static_cast<size_t>(std::min<uint64_t>(left, sizeof skip));
        if (input.Read(skip, chunk) != chunk) {
            FailInput(name + ": frame " + std::to_string(framesRead) + " cut short");
        }
        left -= chunk;
    }
    if (limitedRange) StretchLimitedRange(picture.pixels);
    ++framesRead;
    return true;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::FILE* file = OpenFile(path, "rb");
    if (file == nullptr) FailInput(path + ": cannot open: " + std::strerror(errno));
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) FailInput(path + ": read error");
    return bytes;
}

void WriteWholeFile(std::FILE* out, std::span<const uint8_t> bytes, const std::string& name) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() || std::fflush(out) != 0) {
        FailInput(name + ": write error");
    }
}
