// Videos through a platform decoder (the luma of decoded buffers, sample times turned into the
// player's frames) and files dropped onto vektool (name order, the previous archive kept).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "archive/image_unpacker.h"
#include "archive_test_support.h"
#include "dropped_files.h"
#include "picture_io.h"
#include "tool_error.h"
#include "video_frames.h"

using namespace archive_test;
namespace fs = std::filesystem;

namespace {

// A frame of `width` × `height` laid out with `pitch`, each luma byte telling its position;
// padding and chroma hold 0xEE, which must never show.
Bytes DecodedFrame(uint32_t width, uint32_t height, int64_t pitch, LumaLayout layout) {
    const uint64_t rows = layout == LumaLayout::Nv12 ? height + (height + 1) / 2 : height;
    Bytes buffer(size_t(pitch) * rows, 0xEE);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const size_t at = size_t(y) * pitch + (layout == LumaLayout::Yuy2 ? 2 * x : x);
            buffer[at] = uint8_t(20 + 7 * y + x);
        }
    }
    return buffer;
}

TEST(PitchFromLength, FindsTheDecodersPaddingFromTheBufferLength) {
    struct Case {
        uint32_t width, height;
        LumaLayout layout;
        uint64_t length;
        int64_t pitch;
    };
    const Case cases[] = {
        {330, 186, LumaLayout::Nv12, 332 * 279, 332},  // Wine's GStreamer pads rows to 4 bytes
        {64, 48, LumaLayout::Nv12, 64 * 72, 64},
        {65, 49, LumaLayout::Nv12, 68 * 74, 68},  // odd height: the chroma rows round up
        {330, 186, LumaLayout::Yuy2, 672 * 186, 672},
        {1920, 1080, LumaLayout::Nv12, 1920 * 1632, 1920},  // 1088 rows of macroblocks
        {330, 186, LumaLayout::Nv12, 332 * 279 + 1, 0},     // no whole pitch
        {330, 186, LumaLayout::Nv12, 300 * 279, 0},         // rows shorter than the width
        {330, 186, LumaLayout::Yuy2, 332 * 279, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PitchFromLength(c.length, c.width, c.height, c.layout), c.pitch)
            << c.width << "x" << c.height << (c.layout == LumaLayout::Nv12 ? " NV12 " : " YUY2 ")
            << c.length << " bytes";
    }
}

TEST(LumaOf, TakesTheVisibleLumaOfEitherLayoutAtAnyPitch) {
    struct Case {
        LumaLayout layout;
        int64_t pitch;
        bool bottomUp;
        uint32_t left, top, width, height;
    };
    const Case cases[] = {
        {LumaLayout::Nv12, 12, false, 0, 0, 10, 6}, {LumaLayout::Nv12, 16, false, 2, 1, 7, 4},
        {LumaLayout::Yuy2, 20, false, 0, 0, 10, 6}, {LumaLayout::Yuy2, 24, false, 3, 2, 5, 3},
        {LumaLayout::Nv12, 12, true, 0, 0, 10, 6},  {LumaLayout::Yuy2, 20, true, 1, 1, 8, 5},
    };
    const uint32_t codedWidth = 10, codedHeight = 6;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "pitch " << c.pitch << (c.bottomUp ? " bottom-up" : "") << ", area "
                     << c.left << "," << c.top << " " << c.width << "x" << c.height);
        Bytes buffer = DecodedFrame(codedWidth, codedHeight, c.pitch, c.layout);
        DecodedBuffer view{buffer.data(), c.pitch, c.layout};
        Bytes flipped;
        if (c.bottomUp) {
            // The same rows stored last row first, as a negative pitch describes them.
            flipped.resize(buffer.size());
            for (uint32_t y = 0; y < codedHeight; ++y) {
                std::copy_n(buffer.begin() + y * c.pitch, c.pitch,
                            flipped.begin() + (codedHeight - 1 - y) * c.pitch);
            }
            view = {flipped.data() + (codedHeight - 1) * c.pitch, -c.pitch, c.layout};
        }
        const GreyPicture picture = LumaOf(view, c.left, c.top, c.width, c.height, false);
        ASSERT_EQ(picture.pixels.size(), size_t(c.width) * c.height);
        for (uint32_t y = 0; y < c.height; ++y) {
            for (uint32_t x = 0; x < c.width; ++x) {
                ASSERT_EQ(picture.pixels[y * c.width + x], 20 + 7 * (y + c.top) + x + c.left)
                    << "at " << x << "," << y;
            }
        }
    }
}

TEST(LumaOf, StretchesLimitedRangeOnlyWhenAsked) {
    const Bytes levels = {0, 16, 17, 126, 235, 236, 255, 128};
    const DecodedBuffer view{levels.data(), 8, LumaLayout::Nv12};
    EXPECT_EQ(LumaOf(view, 0, 0, 8, 1, true).pixels, Bytes({0, 0, 1, 128, 255, 255, 255, 130}));
    EXPECT_EQ(LumaOf(view, 0, 0, 8, 1, false).pixels, levels);
}

// Keeps, for each frame the timeline sends, its first pixel (the source frame's number) once
// for each showing.
class ShownFrames : public FrameSink {
  public:
    void Add(GreyPicture picture, uint32_t showings, const std::string&) override {
        shown.insert(shown.end(), showings, picture.pixels[0]);
    }
    std::vector<uint32_t> shown;
};

GreyPicture Numbered(uint32_t n, uint32_t width = 4, uint32_t height = 2) {
    return {width, height, Bytes(size_t(width) * height, uint8_t(n))};
}

// Frame n of a source of `rate` frames a second, in 100 ns units, as the decoder rounds it.
int64_t SampleTime(uint32_t n, double rate, double roundTo, int64_t late) {
    return late + int64_t(std::llround(n * 1e7 / rate / roundTo) * roundTo);
}

TEST(SampleTimeline, ShowsTheFramesFfmpegsFpsFilterShows) {
    // ffmpeg 5.1's fps=30 on a 24 fps clip shows source frames 0 1 1 2 3, then the same four
    // later: the frame on screen at each player frame's middle.
    const auto ffmpegAt24 = [](uint32_t k) {
        return 4 * (k / 5) + std::vector{0, 1, 1, 2, 3}[k % 5];
    };
    struct Case {
        const char* what;
        double rate;
        uint32_t frames;
        double roundTo;  // 100 ns units
        int64_t late;
        std::vector<uint32_t> expected;
    };
    std::vector<Case> cases = {
        {"24 fps, times to 100 ns", 24, 48, 1, 0, {}},
        {"24 fps, Wine's H.264 times starting two frames late", 24, 48, 1, 833333, {}},
        // ffmpeg 5.1 on a 24 fps WebM, whose times are in milliseconds too.
        {"24 fps, times to milliseconds (VP9 under Wine)",
         24,
         48,
         10000,
         0,
         {0,  1,  2,  2,  3,  4,  5,  5,  6,  7,  8,  9,  9,  10, 11, 12, 13, 14, 14, 15,
          16, 17, 17, 18, 19, 20, 21, 21, 22, 23, 24, 25, 26, 26, 27, 28, 29, 29, 30, 31,
          32, 33, 33, 34, 35, 36, 37, 38, 38, 39, 40, 41, 41, 42, 43, 44, 45, 45, 46, 47}},
        {"30 fps", 30, 5, 1, 0, {0, 1, 2, 3, 4}},
        {"60 fps", 60, 6, 1, 0, {0, 2, 4}},
        {"10 fps", 10, 2, 1, 0, {0, 0, 0, 1, 1, 1}},
    };
    for (Case& c : cases) {
        if (c.expected.empty()) {
            for (uint32_t k = 0; k < 60; ++k) c.expected.push_back(ffmpegAt24(k));
        }
        ShownFrames sink;
        SampleTimeline timeline({SizeRule::Source, 0, 0}, sink, "clip");
        for (uint32_t n = 0; n < c.frames; ++n) {
            timeline.Add(Numbered(n), SampleTime(n, c.rate, c.roundTo, c.late));
        }
        EXPECT_EQ(timeline.Finish(int64_t(1e7 / c.rate)), c.frames) << c.what;
        EXPECT_EQ(sink.shown, c.expected) << c.what;
    }
}

TEST(SampleTimeline, KeepsTheLengthOfLongVideos) {
    ShownFrames sink;
    SampleTimeline timeline({SizeRule::Source, 0, 0}, sink, "clip");
    const uint32_t frames = 30000;  // 1001 s at 29.97
    for (uint32_t n = 0; n < frames; ++n) {
        timeline.Add(Numbered(n % 200), SampleTime(n, 30000.0 / 1001, 1, 0));
    }
    timeline.Finish(333667);
    EXPECT_EQ(sink.shown.size(), 30030u);
}

TEST(NameOrder, FollowsTheNamesAsAFolderShowsThem) {
    const std::vector<std::vector<std::string>> ordered = {
        {"frame2.png", "frame10.png", "frame100.png"},
        {"a.png", "B.png", "c.png"},
        {"C:\\Users\\me\\z\\01.png", "C:\\Users\\me\\a\\2.png", "C:\\Users\\me\\z\\003.png"},
        {"clip 9.mp4", "clip 10.mp4", "clip10.mp4"},
        {"/tmp/b/x1.gif", "/tmp/a/x2.gif"},
        {"shot", "shot.png", "shot1.png"},
    };
    for (const auto& expected : ordered) {
        std::vector<std::string> names = expected;
        std::reverse(names.begin(), names.end());
        std::sort(names.begin(), names.end(), NameOrderLess);
        EXPECT_EQ(names, expected);
    }
}

class DroppedFiles : public testing::Test {
  protected:
    void SetUp() override {
        folder =
            fs::temp_directory_path() / ("vektool-drop-" + std::to_string(std::random_device{}()));
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string Write(const std::string& name, const Bytes& bytes) {
        std::ofstream(folder / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return (folder / name).string();
    }
    Bytes Read(const std::string& name) {
        std::ifstream in(folder / name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    std::set<std::string> Names() {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }
    // The first pixel of each frame of vek.bin.
    std::vector<uint8_t> FramesOfArchive() {
        ImageUnpacker unpacker;
        EXPECT_TRUE(unpacker.Open((folder / "vek.bin").wstring()));
        std::vector<uint8_t> values;
        for (uint32_t n = 0; n < unpacker.FrameCount(); ++n) {
            values.push_back(unpacker.ReadFrame(n)[0]);
        }
        return values;
    }

    fs::path folder;
};

Bytes Pgm(uint8_t value) {
    return EncodePgm({2, 2, Bytes(4, value)});
}

TEST_F(DroppedFiles, PackInNameOrderAndKeepEveryPreviousArchive) {
    const std::string tenth = Write("frame10.pgm", Pgm(100));
    const std::string second = Write("frame2.pgm", Pgm(20));
    const std::string first = Write("frame1.pgm", Pgm(10));
    Write("vek.bin", Bytes{'o', 'l', 'd'});

    PackDroppedFiles({tenth, first, second}, folder.string());
    EXPECT_EQ(FramesOfArchive(), Bytes({10, 20, 100}));
    EXPECT_EQ(Read("vek (previous).bin"), Bytes({'o', 'l', 'd'}));
    const Bytes firstArchive = Read("vek.bin");

    PackDroppedFiles({second}, folder.string());
    EXPECT_EQ(FramesOfArchive(), Bytes({20}));
    EXPECT_EQ(Read("vek (previous).bin"), Bytes({'o', 'l', 'd'}));
    EXPECT_EQ(Read("vek (previous 2).bin"), firstArchive);
}

TEST_F(DroppedFiles, AFailedPackLeavesTheFolderAsItWas) {
    const std::string good = Write("a.pgm", Pgm(10));
    Bytes cutShort = Pgm(10);
    cutShort.pop_back();
    const std::string cut = Write("b.pgm", cutShort);
    const std::string other = Write("c.pgm", EncodePgm({3, 2, Bytes(6, 0)}));
    Write("vek.bin", Bytes{'o', 'l', 'd'});
    const std::set<std::string> before = Names();
    for (const auto& files : std::vector<std::vector<std::string>>{{good, cut}, {other, good}}) {
        try {
            PackDroppedFiles(files, folder.string());
            ADD_FAILURE() << "packed " << files[1];
        } catch (const ToolError& error) {
            EXPECT_EQ(error.exitCode, kExitBadInput) << error.message;
        }
        EXPECT_EQ(Names(), before) << files[1];
        EXPECT_EQ(Read("vek.bin"), Bytes({'o', 'l', 'd'})) << files[1];
    }
}

}  // namespace
