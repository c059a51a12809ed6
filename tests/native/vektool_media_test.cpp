// The pieces of vektool pack that turn media into the player's frames: rate conversion, the
// default size, the limited-range stretch, parallel compression and the helper processes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "archive/image_unpacker.h"
#include "archive_test_support.h"
#include "archive_writer.h"
#include "child_process.h"
#include "pack_inputs.h"
#include "parallel_packer.h"
#include "picture_io.h"
#include "tool_error.h"

using namespace archive_test;

namespace {

std::string Join(const std::vector<uint32_t>& values) {
    std::string text;
    for (uint32_t v : values) text += std::to_string(v) + " ";
    return text;
}

TEST(RateConverter, ShowsEachSourceFrameForTheTimeItLasts) {
    struct Case {
        uint64_t ticksPerSecond;
        std::vector<uint64_t> durations;
        std::vector<uint32_t> showings;
    };
    const Case cases[] = {
        {30, {1, 1, 1}, {1, 1, 1}},
        {24, {1, 1, 1, 1, 1, 1, 1, 1}, {2, 1, 1, 1, 2, 1, 1, 1}},
        {60, {1, 1, 1, 1, 1}, {1, 0, 1, 0, 1}},
        {10, {1, 1}, {3, 3}},
        {1000, {50, 100, 40, 1}, {2, 3, 1, 0}},  // GIF delays in ms
        {1000, {1, 1, 1, 30}, {1, 0, 0, 0}},     // very short frames give way to the next
        {30000, {1001, 1001}, {2, 1}},           // 29.97: the first frame still shows at 1/30 s
    };
    for (const Case& c : cases) {
        RateConverter rate(c.ticksPerSecond);
        std::vector<uint32_t> showings;
        for (uint64_t ticks : c.durations) showings.push_back(rate.Next(ticks));
        EXPECT_EQ(showings, c.showings) << c.ticksPerSecond << " ticks a second, durations "
                                        << Join({c.durations.begin(), c.durations.end()});
    }
}

TEST(RateConverter, KeepsTheTotalExactOverLongSources) {
    const std::pair<uint64_t, uint64_t> rates[] = {{30000, 1001}, {25, 1}, {60000, 1001}, {7, 3}};
    for (const auto& [ticksPerSecond, ticksPerFrame] : rates) {
        SCOPED_TRACE(std::to_string(ticksPerSecond) + "/" + std::to_string(ticksPerFrame));
        RateConverter rate(ticksPerSecond);
        const uint64_t frames = 3600 * ticksPerSecond / ticksPerFrame;  // about an hour
        uint64_t shown = 0;
        uint32_t most = 0;
        for (uint64_t n = 0; n < frames; ++n) {
            const uint32_t showings = rate.Next(ticksPerFrame);
            shown += showings;
            most = std::max(most, showings);
        }
        const double seconds = double(frames) * ticksPerFrame / ticksPerSecond;
        EXPECT_EQ(shown, uint64_t(std::ceil(seconds * 30 - 1e-9)));
        EXPECT_EQ(most, uint32_t(std::ceil(30.0 * ticksPerFrame / ticksPerSecond)));
    }
}

TEST(DefaultVideoSize, FitsWithin640x480KeepingAspectWithEvenSides) {
    struct Case {
        uint32_t width, height, fitWidth, fitHeight;
    };
    const Case cases[] = {
        {1920, 1080, 640, 360}, {3840, 2160, 640, 360}, {640, 480, 640, 480}, {639, 479, 639, 479},
        {641, 480, 640, 480},   {700, 100, 640, 92},    {480, 640, 360, 480}, {1000, 1, 640, 2},
        {1440, 1080, 640, 480}, {2000, 481, 640, 154},
    };
    for (const Case& c : cases) {
        const auto [width, height] = DefaultVideoSize(c.width, c.height);
        EXPECT_EQ(width, c.fitWidth) << c.width << "x" << c.height;
        EXPECT_EQ(height, c.fitHeight) << c.width << "x" << c.height;
    }
}

TEST(StretchLimitedRange, MapsSixteenTo235OntoTheWholeRange) {
    std::vector<uint8_t> values(256);
    std::iota(values.begin(), values.end(), 0);
    StretchLimitedRange(values);
    for (int y = 0; y < 256; ++y) {
        const long expected = std::lround(std::clamp((y - 16) * 255.0 / 219.0, 0.0, 255.0));
        EXPECT_EQ(values[y], expected) << "luma " << y;
    }
}

// The archive that frames with these showings give, through the packer with `jobs` threads.
Bytes PackInParallel(const std::vector<Bytes>& pictures, const std::vector<uint32_t>& showings,
                     unsigned jobs) {
    ArchiveBuilder builder(9, 7, PackOptions{6, false});
    ParallelPacker packer(builder, jobs);
    for (size_t n = 0; n < pictures.size(); ++n) packer.Add(pictures[n], showings[n]);
    packer.Finish();
    return builder.Serialize();
}

TEST(ParallelPacker, WritesTheSameArchiveForAnyNumberOfThreads) {
    std::vector<Bytes> pictures;
    std::vector<uint32_t> showings;
    for (uint32_t n = 0; n < 37; ++n) {  // not a whole number of batches
        pictures.push_back(Pattern(63, n));
        showings.push_back(1 + n % 3);
    }
    const Bytes one = PackInParallel(pictures, showings, 1);
    for (unsigned jobs : {2u, 3u, 8u}) {
        EXPECT_EQ(PackInParallel(pictures, showings, jobs), one) << jobs << " jobs";
    }

    TempFile file(one);
    ImageUnpacker unpacker;
    ASSERT_TRUE(unpacker.Open(file.Wide()));
    uint32_t frame = 0;
    for (size_t n = 0; n < pictures.size(); ++n) {
        for (uint32_t k = 0; k < showings[n]; ++k, ++frame) {
            SCOPED_TRACE("picture " + std::to_string(n) + ", frame " + std::to_string(frame));
            EXPECT_EQ(FlipRows(unpacker.ReadFrame(frame), 9, 7), pictures[n]);
            // A repeat names the stream of the frame it repeats.
            EXPECT_EQ(unpacker.Index()[frame].offset, unpacker.Index()[frame - k].offset);
        }
    }
    EXPECT_EQ(frame, unpacker.FrameCount());
}

std::string ReadAll(std::FILE* stream) {
    std::string text;
    for (int c; (c = std::fgetc(stream)) != EOF;) text += static_cast<char>(c);
    return text;
}

TEST(ChildProcess, ReadsOutputAndReportsFailureInTheProgramsWords) {
    ChildProcess printer({"printf", "%s|%s", "two words", "\"quoted\""}, false, "");
    EXPECT_EQ(ReadAll(printer.Stream()), "two words|\"quoted\"");
    EXPECT_EQ(printer.Finish(), 0);

    ChildProcess lister({"ls", "/no/such/folder"}, false, "");
    EXPECT_EQ(ReadAll(lister.Stream()), "");
    EXPECT_NE(lister.Finish(), 0);
    EXPECT_NE(lister.LastErrorLine().find("/no/such/folder"), std::string::npos)
        << lister.LastErrorLine();
    EXPECT_EQ(lister.LastErrorLine().find('\n'), std::string::npos);
}

TEST(ChildProcess, FeedsInputAndNamesAMissingProgram) {
    TempFile file(Bytes{});
    {
        ChildProcess writer({"dd", "of=" + file.Narrow(), "status=none"}, true, "");
        std::fputs("fed through the pipe", writer.Stream());
        EXPECT_EQ(writer.Finish(), 0);
    }
    std::ifstream in(file.path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "fed through the pipe");

    try {
        ChildProcess missing({"no-such-program-for-vektool"}, false, "install it from here");
        FAIL() << "a missing program started";
    } catch (const ToolError& error) {
        EXPECT_EQ(error.exitCode, kExitBadInput);
        EXPECT_EQ(error.message,
                  "no-such-program-for-vektool is not on PATH; install it from here");
    }
}

}  // namespace
