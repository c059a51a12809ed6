// vektool's own writer and picture readers. The reader is checked against an independent
// writer elsewhere; here the packer's output goes back through the reader.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "archive/frame_repeat.h"
#include "archive/image_unpacker.h"
#include "archive_test_support.h"
#include "archive_writer.h"
#include "demo_animation.h"
#include "input_stream.h"
#include "picture_io.h"
#include "tool_error.h"

using namespace archive_test;

namespace {

Bytes AsBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// A string literal with its embedded NUL bytes.
template <size_t N>
std::string Literal(const char (&text)[N]) {
    return std::string(text, N - 1);
}

// The message of the ToolError that `action` throws, or "" when it throws none.
template <typename Action>
std::string ErrorOf(Action action) {
    try {
        action();
    } catch (const ToolError& error) {
        EXPECT_EQ(error.exitCode, kExitBadInput);
        return error.message;
    }
    return "";
}

TEST(DecodePgm, AcceptsHeaderVariantsAndScalesSamples) {
    struct Case {
        const char* name;
        std::string file;
        Bytes expected;
    };
    const Case cases[] = {
        {"plain", Literal("P5 3 1 255\n\x01\x02\x03"), {1, 2, 3}},
        {"comments and tabs",
         Literal("P5\n# made by hand\n3\t# width\n1\n255\r\x01\x02\x03"),
         {1, 2, 3}},
        {"maxval 1", Literal("P5 3 1 1\n\x00\x01\x01"), {0, 255, 255}},
        {"maxval 15", Literal("P5 2 1 15\n\x00\x07"), {0, 119}},
        {"maxval 65535", Literal("P5 2 1 65535\n\xff\xff\x80\x00"), {255, 128}},
        {"sample above maxval", Literal("P5 1 1 100\n\xc8"), {255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const GreyPicture picture = DecodePgm(AsBytes(c.file), "x.pgm");
        EXPECT_EQ(picture.width, c.expected.size());
        EXPECT_EQ(picture.height, 1u);
        EXPECT_EQ(picture.pixels, c.expected);
    }
}

TEST(DecodePgm, RejectsBrokenFilesNamingThem) {
    struct Case {
        std::string file;
        const char* message;
    };
    const Case cases[] = {
        {"P2 1 1 255\n1", "not a binary PGM"},
        {"P5 3", "lacks its height"},
        {"P5 3 1", "lacks its maxval"},
        {"P5 3 1 0\n\x01\x02\x03", "maxval must be"},
        {"P5 3 1 65536\n\x01\x02\x03", "maxval must be"},
        {"P5 3 1 255", "not followed by white space"},
        {"P5 3 2 255\n\x01\x02\x03", "cut short"},
        {"P5 0 2 255\n", "no pixels"},
        {"P5 4294967296 1 255\n", "too large"},
        {"P5 65536 65536 255\n", "too large"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string message = ErrorOf([&] { DecodePgm(AsBytes(c.file), "broken.pgm"); });
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
        EXPECT_NE(message.find("broken.pgm"), std::string::npos) << message;
    }
}

TEST(FlipRows, ReversesRowOrderOnly) {
    for (const auto& [width, height] :
         std::vector<std::pair<uint32_t, uint32_t>>{{1, 1}, {5, 1}, {1, 5}, {4, 3}, {7, 8}}) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        const Bytes picture = Pattern(size_t{width} * height, width + height);
        const Bytes flipped = FlipRows(picture, width, height);
        for (uint32_t row = 0; row < height; ++row) {
            for (uint32_t x = 0; x < width; ++x) {
                ASSERT_EQ(flipped[row * width + x], picture[(height - 1 - row) * width + x]);
            }
        }
        EXPECT_EQ(FlipRows(flipped, width, height), picture);
    }
}

struct Packed {
    std::vector<FrameIndexEntry> index;
    std::vector<Bytes> frames;  // as the reader returns them, bottom row first
    size_t fileSize;
};

Packed PackAndRead(uint32_t width, uint32_t height, const std::vector<Bytes>& pictures,
                   PackOptions options) {
    ArchiveBuilder builder(width, height, options);
    for (const Bytes& picture : pictures) builder.AddFrame(picture);
    const Bytes file = builder.Serialize();
    TempFile temp(file);
    ImageUnpacker unpacker;
    Packed packed{{}, {}, file.size()};
    if (!unpacker.Open(temp.Wide())) return packed;
    packed.index = unpacker.Index();
    for (uint32_t n = 0; n < unpacker.FrameCount(); ++n)
        packed.frames.push_back(unpacker.ReadFrame(n));
    return packed;
}

TEST(ArchiveBuilder, FramesComeBackThroughTheReaderAtEveryLevel) {
    const uint32_t width = 31, height = 17;
    std::vector<Bytes> pictures;
    for (uint32_t s = 0; s < 4; ++s) pictures.push_back(Pattern(width * height, s));
    for (int level = 0; level <= 9; ++level) {
        SCOPED_TRACE("level " + std::to_string(level));
        const Packed packed = PackAndRead(width, height, pictures, {level, false});
        ASSERT_EQ(packed.frames.size(), pictures.size());
        for (size_t n = 0; n < pictures.size(); ++n) {
            EXPECT_EQ(FlipRows(packed.frames[n], width, height), pictures[n]) << "frame " << n;
        }
        // Streams follow one another in frame order, from the start of the data area.
        uint32_t expectedOffset = 0;
        for (const FrameIndexEntry& entry : packed.index) {
            EXPECT_EQ(entry.offset, expectedOffset);
            expectedOffset += entry.packedSize;
        }
        EXPECT_EQ(packed.fileSize, DataAreaStart(4) + expectedOffset);
    }
}

TEST(ArchiveBuilder, DedupeSharesOnlyIdenticalPictures) {
    const Bytes a = Pattern(100, 1), b = Pattern(100, 2);
    Bytes almostA = a;
    almostA[57] ^= 1;
    const std::vector<Bytes> sequence = {a, b, a, almostA, b, a};
    const Packed plain = PackAndRead(10, 10, sequence, {6, false});
    const Packed shared = PackAndRead(10, 10, sequence, {6, true});
    ASSERT_EQ(shared.frames.size(), sequence.size());
    std::map<std::pair<uint32_t, uint32_t>, int> distinct;
    for (size_t n = 0; n < sequence.size(); ++n) {
        SCOPED_TRACE("frame " + std::to_string(n));
        EXPECT_EQ(FlipRows(shared.frames[n], 10, 10), sequence[n]);
        distinct[{shared.index[n].offset, shared.index[n].packedSize}]++;
    }
    EXPECT_EQ(distinct.size(), 3u);  // a, b and almostA
    EXPECT_EQ(shared.index[0].offset, shared.index[2].offset);
    EXPECT_NE(shared.index[0].offset, shared.index[3].offset);
    EXPECT_LT(shared.fileSize, plain.fileSize);
}

// A player keeps the picture on screen for a frame that repeats the last one handed over; with
// a deduplicated archive that must hold exactly where the pictures are equal, and a frame that
// only looks the same in another stream is decoded again.
TEST(RepeatsShownFrame, HoldsExactlyWhereTheSharedStreamRepeats) {
    const Bytes a = Pattern(64, 1), b = Pattern(64, 2);
    const std::vector<Bytes> sequence = {a, a, a, b, b, a, a};
    const Packed shared = PackAndRead(8, 8, sequence, {6, true});
    const Packed plain = PackAndRead(8, 8, sequence, {6, false});
    ASSERT_EQ(shared.index.size(), sequence.size());
    const int32_t count = static_cast<int32_t>(sequence.size());
    for (int32_t shown = -1; shown <= count; ++shown) {
        for (int32_t next = -1; next <= count; ++next) {
            SCOPED_TRACE("shown " + std::to_string(shown) + ", next " + std::to_string(next));
            const bool inside = shown >= 0 && next >= 0 && shown < count && next < count;
            const bool equal = inside && sequence[size_t(shown)] == sequence[size_t(next)];
            EXPECT_EQ(RepeatsShownFrame(shared.index, shown, next), equal);
            EXPECT_EQ(RepeatsShownFrame(plain.index, shown, next), inside && shown == next);
        }
    }
    // The same offset with another length names other bytes.
    EXPECT_FALSE(NamesSameBytes({16, 40}, {16, 41}));
}

TEST(ArchiveBuilder, RefusesSizesTheFormatCannotHold) {
    const std::pair<uint32_t, uint32_t> sizes[] = {{0, 5}, {5, 0}, {65536, 65536}, {70000, 70000}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size.first) + "x" + std::to_string(size.second));
        EXPECT_NE(ErrorOf([&] { ArchiveBuilder(size.first, size.second, {}); }), "");
    }
}

size_t FilesIn(const std::filesystem::path& directory) {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(directory),
                                             std::filesystem::directory_iterator{}));
}

// With a path the streams go to a scratch file as they come; the archive must be the one that
// the in-memory builder gives, and only a commit may replace what was there.
TEST(ArchiveBuilder, WritesThroughAScratchFileTheSameArchiveAsInMemory) {
    const Bytes a = Pattern(12 * 5, 1), b = Pattern(12 * 5, 2);
    const std::vector<std::pair<Bytes, uint32_t>> frames = {{a, 1}, {b, 3}, {a, 2}, {b, 1}};
    for (const bool dedupe : {false, true}) {
        SCOPED_TRACE(dedupe ? "dedupe" : "plain");
        ArchiveBuilder memory(12, 5, {6, dedupe});
        TempFile existing(AsBytes("old archive"));
        {
            ArchiveBuilder file(12, 5, {6, dedupe}, existing.Narrow());
            for (const auto& [picture, showings] : frames) {
                memory.AddFrame(picture);
                memory.RepeatLastFrame(showings - 1);
                file.AddFrame(picture);
                file.RepeatLastFrame(showings - 1);
            }
            EXPECT_EQ(FilesIn(existing.directory), 2u);  // the archive and the scratch file
            const Bytes expected = memory.Serialize();
            EXPECT_EQ(file.FileSize(), expected.size());
            file.Commit();
            std::ifstream in(existing.path, std::ios::binary);
            EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}), expected);
        }
        EXPECT_EQ(FilesIn(existing.directory), 1u);

        // Abandoned before its commit: the old archive stays, the scratch file goes.
        {
            ArchiveBuilder file(12, 5, {6, dedupe}, existing.Narrow());
            file.AddFrame(a);
        }
        EXPECT_EQ(FilesIn(existing.directory), 1u);
        std::ifstream in(existing.path, std::ios::binary);
        EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}), memory.Serialize());
    }
}

TEST(WriteFileReplacing, ReplacesWholeFilesAndLeavesNothingBehind) {
    TempFile existing(AsBytes("old archive"));
    WriteFileReplacing(existing.Narrow(), AsBytes("new"));
    std::ifstream in(existing.path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(existing.directory),
                            std::filesystem::directory_iterator{}),
              1);

    const std::string nowhere = (existing.directory / "no-such-dir" / "a.vek").string();
    EXPECT_NE(ErrorOf([&] { WriteFileReplacing(nowhere, AsBytes("x")); }).find("a.vek"),
              std::string::npos);
}

std::vector<GreyPicture> ReadY4m(const std::string& content) {
    TempFile file(AsBytes(content));
    std::FILE* in = std::fopen(file.Narrow().c_str(), "rb");
    std::vector<GreyPicture> frames;
    try {
        Y4mReader reader(in, "clip");
        GreyPicture picture;
        while (reader.Next(picture)) frames.push_back(picture);
    } catch (...) {
        std::fclose(in);
        throw;
    }
    std::fclose(in);
    return frames;
}

TEST(Y4mReader, TakesTheLumaPlaneOfEachFrame) {
    struct Case {
        const char* colourSpace;
        size_t chromaBytes;  // for 3x3
        bool limitedRange;
    };
    const Case cases[] = {{"", 8, true},
                          {" Cmono", 0, false},
                          {" Cmono XCOLORRANGE=LIMITED", 0, false},
                          {" C420jpeg", 8, true},
                          {" C420jpeg XCOLORRANGE=FULL", 8, false},
                          {" C420paldv", 8, true},
                          {" C422 XCOLORRANGE=LIMITED", 12, true},
                          {" C444", 18, true},
                          {" C444alpha XCOLORRANGE=FULL", 27, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.colourSpace);
        std::string stream = std::string("YUV4MPEG2 W3 H3 F30:1 Ip") + c.colourSpace + "\n";
        for (char frame = 0; frame < 3; ++frame) {
            stream += "FRAME Ixyz\n";
            stream += std::string(9, static_cast<char>('a' + frame));
            stream += std::string(c.chromaBytes, '\x80');
        }
        const std::vector<GreyPicture> frames = ReadY4m(stream);
        ASSERT_EQ(frames.size(), 3u);
        for (size_t n = 0; n < 3; ++n) {
            // 'a' is 97: limited-range luma stretches it to (97 - 16) × 255 / 219 = 94.3.
            const int limited[] = {94, 95, 97};
            EXPECT_EQ(frames[n].width, 3u);
            EXPECT_EQ(frames[n].pixels,
                      Bytes(9, static_cast<uint8_t>(c.limitedRange ? limited[n] : 'a' + n)));
        }
    }
}

TEST(Y4mReader, RejectsStreamsItCannotRead) {
    const std::pair<std::string, const char*> cases[] = {
        {"", "not a YUV4MPEG2 stream"},
        {"P5 3 3 255\n", "not a YUV4MPEG2 stream"},
        {"YUV4MPEG2 W3 C420jpeg\n", "no pixels"},
        {"YUV4MPEG2 W3 H3 C420p10\n", "unsupported"},
        {"YUV4MPEG2 W3 H3 Wx\n", "bad YUV4MPEG2 size"},
        {"YUV4MPEG2 W3 H3 F30\n", "bad YUV4MPEG2 frame rate F30"},
        {"YUV4MPEG2 W3 H3 F0:1\n", "bad YUV4MPEG2 frame rate"},
        {"YUV4MPEG2 W3 H3 F30:0\n", "bad YUV4MPEG2 frame rate"},
        {"YUV4MPEG2 W3 H3 F30:x\n", "bad YUV4MPEG2 frame rate"},
        {"YUV4MPEG2 W20000 H20000\nFRAME\n", "20000x20000: picture too large"},
        {"YUV4MPEG2 W3 H1 Cmono\nFRAME\nabcFRAME\nab", "frame 1 cut short"},
        {"YUV4MPEG2 W3 H1 Cmono\nFRAME\nabcXRAME\nabc", "missing FRAME"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        const std::string error = ErrorOf([&] { ReadY4m(c.first); });
        EXPECT_NE(error.find(c.second), std::string::npos) << error;
    }
}

// What is peeked to tell an input's kind must come back when the input is read, from a file
// (a pipe behaves the same) and from memory alike.
TEST(InputStream, GivesBackWhatWasPeekedThenTheRest) {
    const std::string content = "YUV4MPEG2 W3 H1\nFRAME\nabc";
    TempFile file(AsBytes(content));
    for (const size_t peek : {size_t{0}, size_t{1}, size_t{9}, content.size(), size_t{100}}) {
        SCOPED_TRACE("peek " + std::to_string(peek));
        std::FILE* handle = std::fopen(file.Narrow().c_str(), "rb");
        InputStream fromFile(handle);
        InputStream fromMemory(AsBytes(content));
        for (InputStream* input : {&fromFile, &fromMemory}) {
            const std::span<const uint8_t> head = input->Peek(peek);
            EXPECT_EQ(std::string(head.begin(), head.end()), content.substr(0, peek));
            std::string read(4, '\0');
            ASSERT_EQ(input->Read(read.data(), 4), 4u);
            EXPECT_EQ(static_cast<char>(input->Get()), content[4]);
            const std::vector<uint8_t> rest = input->ReadRest();
            EXPECT_EQ(read + content[4] + std::string(rest.begin(), rest.end()), content);
            EXPECT_TRUE(input->AtEnd());
            EXPECT_EQ(input->Get(), EOF);
        }
        std::fclose(handle);
    }
}

double MeanDifference(const GreyPicture& a, const GreyPicture& b) {
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) sum += std::abs(a.pixels[i] - b.pixels[i]);
    return sum / a.pixels.size();
}

TEST(DemoAnimation, MovesSmoothlyAndLoopsWithoutASeam) {
    const uint32_t width = 160, height = 120, frames = 60;
    std::vector<GreyPicture> pictures;
    for (uint32_t n = 0; n < frames; ++n)
        pictures.push_back(RenderDemoFrame(width, height, n, frames));
    double largestStep = 0;
    for (uint32_t n = 0; n + 1 < frames; ++n) {
        const double step = MeanDifference(pictures[n], pictures[n + 1]);
        EXPECT_GT(step, 0.0) << "frames " << n << " and " << n + 1 << " are the same";
        largestStep = std::max(largestStep, step);
    }
    const double seam = MeanDifference(pictures.back(), pictures.front());
    EXPECT_LE(seam, 1.5 * largestStep) << "the loop jumps from the last frame to the first";
    EXPECT_EQ(RenderDemoFrame(width, height, frames, frames).pixels, pictures[0].pixels);
}

TEST(DemoAnimation, ShowsShadowAndSeveralGreyTonesAtAnySize) {
    const std::pair<uint32_t, uint32_t> sizes[] = {{480, 360}, {200, 300}, {64, 16}};
    for (const auto& [width, height] : sizes) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        const GreyPicture picture = RenderDemoFrame(width, height, 40, 360);
        ASSERT_EQ(picture.pixels.size(), size_t{width} * height);
        std::map<uint8_t, size_t> histogram;
        for (uint8_t v : picture.pixels) histogram[v]++;
        size_t tones = 0;  // grey levels that cover at least 1 % of the picture
        for (const auto& [value, count] : histogram) tones += count * 100 >= picture.pixels.size();
        EXPECT_GE(tones, 3u);
        EXPECT_GT(histogram.rbegin()->first, 240) << "no light background";
        EXPECT_GT(histogram.size(), tones) << "no soft edges between the tones";
    }
}

}  // namespace
