#include <gtest/gtest.h>
#include <stb_image.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive_writer.h"
#include "commands.h"
#include "render/compose.h"
#include "render/placement.h"
#include "render/software_renderer.h"
#include "tool_error.h"

namespace {

namespace fs = std::filesystem;

class RenderCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        directory = fs::temp_directory_path() /
                    ("render_command_test_" +
                     std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(directory);
    }
    void TearDown() override { fs::remove_all(directory); }

    // An archive of the given frames (top row first), all W x H.
    std::string WriteArchive(const std::string& name, uint32_t W, uint32_t H,
                             const std::vector<std::vector<uint8_t>>& frames) {
        ArchiveBuilder builder(W, H, PackOptions{});
        for (const auto& frame : frames) {
            builder.AddFrame(frame);
        }
        const std::string path = (directory / name).string();
        WriteFileReplacing(path, builder.Serialize());
        return path;
    }

    std::string Path(const std::string& name) const { return (directory / name).string(); }

    fs::path directory;
};

// Runs `vektool render` with the arguments; the exit status, or the ToolError's.
int RunRender(std::vector<std::string> args) {
    args.insert(args.begin(), "render");
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    try {
        return RenderCommand(static_cast<int>(argv.size()), argv.data());
    } catch (const ToolError& error) {
        return error.exitCode;
    }
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint32_t> Words(const std::vector<uint8_t>& bytes) {
    std::vector<uint32_t> words(bytes.size() / 4);
    for (size_t i = 0; i < words.size(); ++i) {
        words[i] = bytes[i * 4] | bytes[i * 4 + 1] << 8 | bytes[i * 4 + 2] << 16 |
                   static_cast<uint32_t>(bytes[i * 4 + 3]) << 24;
    }
    return words;
}

constexpr uint32_t kW = 16;
constexpr uint32_t kH = 12;

std::vector<uint8_t> Flat(uint8_t v) {
    return std::vector<uint8_t>(kW * kH, v);
}

// A 64 x 36 primary monitor with a 40 x 32 one on its left: the window is 104 x 36, and the
// strip below the left monitor (x < 40, y >= 32) shows no picture in EachMonitor mode.
const char* kDesktop = "64x36+0+0,40x32-40+0";

struct ModeCase {
    const char* mode;
    int32_t width, height;
    bool (*inside)(int32_t x, int32_t y);
};

const ModeCase kModes[] = {
    {"each", 104, 36, [](int32_t x, int32_t y) { return x >= 40 || y < 32; }},
    {"whole", 104, 36, [](int32_t, int32_t) { return true; }},
    {"chosen:1", 40, 32, [](int32_t, int32_t) { return true; }},
    {"chosen:0", 64, 36, [](int32_t, int32_t) { return true; }},
};

TEST_F(RenderCommandTest, RawPicturesOfFlatFramesFollowTheBlendTable) {
    const std::string black = WriteArchive("black.vek", kW, kH, {Flat(0)});
    const std::string white = WriteArchive("white.vek", kW, kH, {Flat(255)});
    struct Case {
        const char* name;
        const std::string* archive;
        int S;
        int B;
        uint32_t inside;
    };
    const Case cases[] = {
        {"black S 255 B 0", &black, 255, 0, 0xFF000000},
        {"black S 255 B 140", &black, 255, 140, 0xFF000000},
        {"black S 255 B 255", &black, 255, 255, 0xFF000000},
        {"white B 0", &white, 255, 0, 0x00000000},
        {"white B 140", &white, 90, 140, 0x8C8C8C8C},
        {"black S 0 B 0", &black, 0, 0, 0x00000000},
        {"black S 0 B 99", &black, 0, 99, 0x00000000},
    };
    for (const ModeCase& mode : kModes) {
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message() << c.name << ", mode " << mode.mode);
            const std::string out = Path("out.raw");
            ASSERT_EQ(RunRender({*c.archive, "0", "-o", out, "--desktop", kDesktop, "--mode",
                                 mode.mode, "--shadow", std::to_string(c.S), "--background",
                                 std::to_string(c.B), "--raw"}),
                      0);
            const std::vector<uint32_t> words = Words(ReadFile(out));
            ASSERT_EQ(words.size(), static_cast<size_t>(mode.width) * mode.height);
            for (int32_t y = 0; y < mode.height; ++y) {
                for (int32_t x = 0; x < mode.width; ++x) {
                    const uint32_t expected =
                        mode.inside(x, y) ? c.inside : static_cast<uint32_t>(c.B) << 24;
                    ASSERT_EQ(words[static_cast<size_t>(y) * mode.width + x], expected)
                        << "at " << x << ", " << y;
                }
            }
        }
    }
}

TEST_F(RenderCommandTest, RawBytesAreBlueGreenRedAlpha) {
    const std::string black = WriteArchive("black.vek", kW, kH, {Flat(0)});
    const std::string out = Path("out.raw");
    // Black at S = 128 over B = 0: alpha 64 (the last byte), colour 0.
    ASSERT_EQ(
        RunRender({black, "0", "-o", out, "--desktop", "4x3+0+0", "--shadow", "128", "--raw"}), 0);
    const std::vector<uint8_t> bytes = ReadFile(out);
    ASSERT_EQ(bytes.size(), 4u * 3u * 4u);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[2], 0);
    EXPECT_EQ(bytes[3], 64);
}

TEST_F(RenderCommandTest, RawPictureOfARealFrameIsWithinTwoOfTheReference) {
    // A frame with a hard diagonal edge and a gradient, the second of two.
    std::vector<uint8_t> frame(kW * kH);
    for (uint32_t y = 0; y < kH; ++y) {
        for (uint32_t x = 0; x < kW; ++x) {
            frame[y * kW + x] = x > y ? static_cast<uint8_t>(x * 16) : 0;
        }
    }
    const std::string archive = WriteArchive("pattern.vek", kW, kH, {Flat(255), frame});
    const std::string out = Path("out.raw");
    ASSERT_EQ(RunRender({archive, "1", "-o", out, "--desktop", kDesktop, "--mode", "each",
                         "--shadow", "200", "--background", "30", "--raw"}),
              0);
    const std::vector<uint32_t> words = Words(ReadFile(out));
    ASSERT_EQ(words.size(), 104u * 36u);

    // The reference from the frame as the archive stores it (bottom row first), placed by hand:
    // the primary monitor's area starts 40 pixels into the window.
    std::vector<uint8_t> stored(frame.size());
    for (uint32_t y = 0; y < kH; ++y) {
        std::copy_n(&frame[(kH - 1 - y) * kW], kW, &stored[y * kW]);
    }
    std::vector<uint32_t> shadow(frame.size()), cutout(frame.size());
    ComposeFrame(stored.data(), kW, kH, 200, shadow.data(), cutout.data());
    const std::vector<Placement> placements = {PlaceArea(40, 0, 64, 36, kW, kH),
                                               PlaceArea(0, 0, 40, 32, kW, kH)};
    std::vector<uint32_t> expected(words.size());
    RenderReference(shadow.data(), cutout.data(), kW, kH, 30, placements, expected.data(), 104, 36);
    for (size_t i = 0; i < words.size(); ++i) {
        for (int shift = 0; shift < 32; shift += 8) {
            const int a = (words[i] >> shift) & 0xFF;
            const int b = (expected[i] >> shift) & 0xFF;
            ASSERT_LE(std::abs(a - b), 2) << "pixel " << i % 104 << ", " << i / 104;
        }
    }
}

TEST_F(RenderCommandTest, PngShowsThePictureOverAGreyDesktop) {
    const std::string black = WriteArchive("black.vek", kW, kH, {Flat(0)});
    const std::string out = Path("out.png");
    ASSERT_EQ(RunRender({black, "0", "-o", out, "--desktop", kDesktop, "--background", "51"}), 0);
    const std::vector<uint8_t> png = ReadFile(out);
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &width,
                                            &height, &channels, 3);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(width, 104);
    EXPECT_EQ(height, 36);
    // Opaque black over the pictures; black at alpha 51 over grey 128 elsewhere: 102.
    const struct {
        int x, y;
        int value;
    } probes[] = {{0, 0, 0}, {50, 20, 0}, {103, 35, 0}, {10, 33, 102}, {39, 35, 102}};
    for (const auto& probe : probes) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(pixels[(probe.y * width + probe.x) * 3 + k], probe.value)
                << "at " << probe.x << ", " << probe.y << " channel " << k;
        }
    }
    stbi_image_free(pixels);
}

TEST_F(RenderCommandTest, DefaultsToOneFullHdMonitor) {
    const std::string white = WriteArchive("white.vek", kW, kH, {Flat(255)});
    const std::string out = Path("out.raw");
    ASSERT_EQ(RunRender({white, "0", "-o", out, "--raw"}), 0);
    const std::vector<uint8_t> bytes = ReadFile(out);
    EXPECT_EQ(bytes.size(), 1920u * 1080u * 4u);
}

TEST_F(RenderCommandTest, RefusesBadArgumentsAsUsageErrors) {
    const std::string archive = WriteArchive("black.vek", kW, kH, {Flat(0)});
    const std::string raw = Path("out.raw");
    const std::vector<std::vector<std::string>> cases = {
        {archive, "0"},
        {archive, "-o", raw, "--raw"},
        {archive, "0", "-o", Path("out.bmp")},
        {archive, "zero", "-o", raw, "--raw"},
        {archive, "0", "-o", raw, "--raw", "--shadow", "256"},
        {archive, "0", "-o", raw, "--raw", "--background", "-1"},
        {archive, "0", "-o", raw, "--raw", "--mode", "some"},
        {archive, "0", "-o", raw, "--raw", "--mode", "chosen:"},
        {archive, "0", "-o", raw, "--raw", "--mode", "chosen:1"},
        {archive, "0", "-o", raw, "--raw", "--desktop", "1920x1080"},
        {archive, "0", "-o", raw, "--raw", "--desktop", "1920x1080+0"},
        {archive, "0", "-o", raw, "--raw", "--desktop", "0x1080+0+0"},
        {archive, "0", "-o", raw, "--raw", "--desktop", "x1080+0+0"},
        {archive, "0", "-o", raw, "--raw", "--desktop", "10x10+0+0;"},
        {archive, "0", "-o", raw, "--raw", "--desktop", "10x10+0+0,"},
        {archive, "0", "-o", raw, "--raw", "--desktop", "99999999x10+0+0"},
        {archive, "0", "-o", raw, "--raw", "--desktop", "20000x10+0+0"},
        {archive, "0", "-o", raw, "--raw", "--desktop"},
        {archive, "0", "-o", raw, "--raw", "--frames", "3"},
    };
    for (const auto& args : cases) {
        std::string line;
        for (const std::string& arg : args) {
            line += arg + " ";
        }
        EXPECT_EQ(RunRender(args), 2) << line;
    }
    EXPECT_FALSE(fs::exists(raw));
}

TEST_F(RenderCommandTest, BadArchivesAndFramesAreInputErrors) {
    const std::string archive = WriteArchive("two.vek", kW, kH, {Flat(0), Flat(9)});
    const std::string raw = Path("out.raw");
    EXPECT_EQ(RunRender({Path("missing.vek"), "0", "-o", raw, "--raw"}), 1);
    EXPECT_EQ(RunRender({archive, "2", "-o", raw, "--raw"}), 1);
    EXPECT_EQ(RunRender({archive, "1", "-o", Path("no/such/dir/out.raw"), "--raw"}), 1);
    EXPECT_FALSE(fs::exists(raw));
}

}  // namespace
