#include <gtest/gtest.h>

#include "archive/image_unpacker.h"
#include "archive_test_support.h"

using namespace archive_test;

namespace {

FrameStatus Inflate(const Bytes& stream, Bytes& output) {
    return TryInflateFrame(stream.data(), static_cast<uint32_t>(stream.size()), output.data(),
                           static_cast<uint32_t>(output.size()));
}

TEST(InflateFrame, AcceptsEveryLevelStrategyAndWindowSize) {
    const Bytes picture = Pattern(5000, 11);
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
    for (int level = 0; level <= 9; ++level) {
        for (const int strategy : strategies) {
            for (const int windowBits : {9, 12, 15}) {
                SCOPED_TRACE("level " + std::to_string(level) + " strategy " +
                             std::to_string(strategy) + " window bits " +
                             std::to_string(windowBits));
                const Bytes stream = Deflate(picture, level, Wrapper::Zlib, windowBits, strategy);
                ASSERT_FALSE(stream.empty());
                Bytes output(picture.size(), 0xEE);
                const FrameStatus status = Inflate(stream, output);
                EXPECT_TRUE(status.Ok()) << DescribeFrameStatus(status);
                EXPECT_EQ(output, picture);
            }
        }
    }
}

TEST(InflateFrame, OutputAreaSizeAgainstDecodedLength) {
    const Bytes picture = Pattern(300, 2);
    const Bytes stream = Deflate(picture);
    struct Case {
        size_t outputSize;
        bool ok;
    };
    // Exactly full or larger is fine (the rest keeps its bytes); any smaller is too long.
    const Case cases[] = {{300, true}, {301, true}, {1000, true}, {299, false}, {1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE("output " + std::to_string(c.outputSize));
        Bytes output(c.outputSize, 0x5A);
        const FrameStatus status = Inflate(stream, output);
        EXPECT_EQ(status.Ok(), c.ok) << DescribeFrameStatus(status);
        if (c.ok) {
            EXPECT_TRUE(std::equal(picture.begin(), picture.end(), output.begin()));
            EXPECT_TRUE(std::all_of(output.begin() + 300, output.end(),
                                    [](uint8_t b) { return b == 0x5A; }));
        } else {
            EXPECT_EQ(status.error, FrameError::TooLong);
        }
    }
}

TEST(InflateFrame, EveryShortenedStreamFailsAndExtraBytesAreIgnored) {
    const Bytes picture = Pattern(700, 8);
    const Bytes stream = Deflate(picture, 9);
    for (size_t length = 0; length < stream.size(); ++length) {
        SCOPED_TRACE("first " + std::to_string(length) + " of " + std::to_string(stream.size()));
        const Bytes cut(stream.begin(), stream.begin() + length);
        Bytes output(picture.size());
        const FrameStatus status = Inflate(cut, output);
        EXPECT_FALSE(status.Ok());
        EXPECT_EQ(status.error, FrameError::CutShort) << DescribeFrameStatus(status);
    }
    Bytes extended = stream;
    extended.insert(extended.end(), stream.begin(), stream.end());  // a second stream after it
    Bytes output(picture.size());
    EXPECT_TRUE(Inflate(extended, output).Ok());
    EXPECT_EQ(output, picture);
}

TEST(InflateFrame, EveryChangedTrailerByteIsCaught) {
    const Bytes picture = Pattern(400, 6);
    const Bytes stream = Deflate(picture);
    for (size_t back = 1; back <= 4; ++back) {
        for (const uint8_t flip : {0x01, 0x80, 0xFF}) {
            SCOPED_TRACE("trailer byte -" + std::to_string(back) + " xor " + std::to_string(flip));
            Bytes damaged = stream;
            damaged[damaged.size() - back] ^= flip;
            Bytes output(picture.size());
            const FrameStatus status = Inflate(damaged, output);
            EXPECT_EQ(status.error, FrameError::Damaged);
            EXPECT_EQ(DescribeFrameStatus(status), "wrong Adler-32 checksum");
        }
    }
}

TEST(InflateFrame, RejectsBadZlibHeaders) {
    const Bytes picture = Pattern(64, 1);
    const Bytes stream = Deflate(picture);
    struct Case {
        const char* name;
        uint8_t cmf, flg;
        FrameError expected;
    };
    // Headers other than the first must still be multiples of 31 to reach the intended check.
    auto withCheck = [](uint8_t cmf, uint8_t flg) {
        return static_cast<uint8_t>((flg & 0xE0) | (31 - ((cmf * 256 + (flg & 0xE0)) % 31)) % 31);
    };
    const Case cases[] = {
        {"check bits wrong", stream[0], static_cast<uint8_t>(stream[1] ^ 1), FrameError::Damaged},
        {"method 15", 0x7F, withCheck(0x7F, 0x80), FrameError::Damaged},
        {"window field 8", 0x88, withCheck(0x88, 0x80), FrameError::Damaged},
        {"dictionary flag", 0x78, withCheck(0x78, 0xA0), FrameError::NeedsDictionary},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes damaged = stream;
        damaged[0] = c.cmf;
        damaged[1] = c.flg;
        Bytes output(picture.size());
        const FrameStatus status = Inflate(damaged, output);
        EXPECT_EQ(status.error, c.expected) << DescribeFrameStatus(status);
        if (c.expected == FrameError::Damaged) {
            EXPECT_NE(DescribeFrameStatus(status).find("wrong zlib header"), std::string::npos)
                << DescribeFrameStatus(status);
        }
    }
}

TEST(InflateFrame, EndsTheProcessOnFailureAndReturnsOtherwise) {
    const Bytes picture = Pattern(100, 4);
    const Bytes stream = Deflate(picture);
    Bytes output(picture.size());
    InflateFrame(stream.data(), static_cast<uint32_t>(stream.size()), output.data(),
                 static_cast<uint32_t>(output.size()));
    EXPECT_EQ(output, picture);

    Bytes damaged = stream;
    damaged[damaged.size() / 2] ^= 0x55;
    EXPECT_EXIT(
        {
            InflateFrame(damaged.data(), static_cast<uint32_t>(damaged.size()), output.data(),
                         static_cast<uint32_t>(output.size()));
            std::_Exit(3);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            // No output area at all: zlib refuses.
            InflateFrame(stream.data(), static_cast<uint32_t>(stream.size()), nullptr, 0);
            std::_Exit(3);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
