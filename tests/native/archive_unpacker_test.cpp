#include <gtest/gtest.h>

#ifdef __linux__
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "archive/image_unpacker.h"
#include "archive_test_support.h"

using namespace archive_test;

namespace {

std::string Describe(const std::vector<uint8_t>& frame, size_t at) {
    return "first difference at byte " + std::to_string(at) + " of " + std::to_string(frame.size());
}

void ExpectFrameEquals(const Bytes& expected, const std::vector<uint8_t>& actual) {
    ASSERT_EQ(expected.size(), actual.size());
    const auto mismatch = std::mismatch(expected.begin(), expected.end(), actual.begin());
    EXPECT_TRUE(mismatch.first == expected.end())
        << Describe(actual, mismatch.first - expected.begin());
}

struct LayoutCase {
    const char* name;
    uint32_t width, height, frames;
    enum Order { InOrder, Reversed, WithGaps } order;
    uint32_t reserved;
};

// Streams stored in the given order; the index still lists them by frame number.
Bytes ArchiveInOrder(const LayoutCase& c, std::vector<Bytes>& pictures) {
    std::vector<Bytes> streams;
    for (uint32_t n = 0; n < c.frames; ++n) {
        pictures.push_back(Pattern(size_t{c.width} * c.height, n + 1));
        streams.push_back(Deflate(pictures.back(), static_cast<int>(n % 10)));
    }
    std::vector<Entry> entries(c.frames);
    Bytes data;
    for (uint32_t k = 0; k < c.frames; ++k) {
        const uint32_t n = c.order == LayoutCase::Reversed ? c.frames - 1 - k : k;
        if (c.order == LayoutCase::WithGaps) data.insert(data.end(), 3 + k, 0xA5);
        entries[n] = {static_cast<uint32_t>(data.size()), static_cast<uint32_t>(streams[n].size())};
        data.insert(data.end(), streams[n].begin(), streams[n].end());
    }
    return LayOut(c.width, c.height, entries, data, c.reserved);
}

TEST(ImageUnpacker, ReadsEveryFrameOfArchivesLaidOutInAnyWay) {
    const LayoutCase cases[] = {
        {"one pixel", 1, 1, 1, LayoutCase::InOrder, 0},
        {"4x3 two frames", 4, 3, 2, LayoutCase::InOrder, 0},
        {"reserved set", 4, 3, 3, LayoutCase::InOrder, 0xFFFFFFFF},
        {"reversed", 7, 5, 6, LayoutCase::Reversed, 0},
        {"gaps", 16, 9, 5, LayoutCase::WithGaps, 12345},
        {"one column", 1, 300, 4, LayoutCase::Reversed, 0},
        {"one row", 300, 1, 4, LayoutCase::WithGaps, 0},
        {"player size", 480, 360, 3, LayoutCase::InOrder, 0},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Bytes> pictures;
        TempFile file(ArchiveInOrder(c, pictures));
        ImageUnpacker unpacker;
        ASSERT_TRUE(unpacker.Open(file.Wide()));
        EXPECT_EQ(unpacker.Width(), c.width);
        EXPECT_EQ(unpacker.Height(), c.height);
        EXPECT_EQ(unpacker.FrameCount(), c.frames);
        // Out of order: n, n + 3, 0, then the last.
        const uint32_t last = c.frames - 1;
        for (const uint32_t n : {0u, std::min(3u, last), 0u, last, last / 2}) {
            SCOPED_TRACE("frame " + std::to_string(n));
            ExpectFrameEquals(pictures[n], unpacker.ReadFrame(n));
        }
    }
}

TEST(ImageUnpacker, FirstStoredRowIsTheBottomRow) {
    // Stored bottom-up: the reader hands the bytes over in file order, without turning rows.
    const uint32_t width = 5, height = 4;
    Bytes picture(width * height, 255);
    std::fill_n(picture.begin(), width, 0);
    TempFile file(ArchiveOf(width, height, {Deflate(picture)}));
    ImageUnpacker unpacker;
    ASSERT_TRUE(unpacker.Open(file.Wide()));
    const std::vector<uint8_t> frame = unpacker.ReadFrame(0);
    for (uint32_t i = 0; i < frame.size(); ++i) {
        EXPECT_EQ(frame[i], i < width ? 0 : 255) << "byte " << i;
    }
}

TEST(ImageUnpacker, EntriesNamingTheSameBytesYieldTheSamePicture) {
    const Bytes picture = Pattern(12 * 10, 9);
    const Bytes stream = Deflate(picture);
    const uint32_t size = static_cast<uint32_t>(stream.size());
    TempFile file(LayOut(12, 10, {{0, size}, {0, size}, {0, size}}, stream));
    ImageUnpacker unpacker;
    ASSERT_TRUE(unpacker.Open(file.Wide()));
    for (uint32_t n : {2u, 0u, 1u}) {
        SCOPED_TRACE(n);
        ExpectFrameEquals(picture, unpacker.ReadFrame(n));
    }
}

TEST(ImageUnpacker, ShortStreamLeavesTheTopRowsZeroAndTrailingBytesAreIgnored) {
    const uint32_t width = 6, height = 5;
    const Bytes bottomRows(width * 3, 200);
    Bytes trailed = Deflate(Pattern(width * height, 4));
    trailed.insert(trailed.end(), {1, 2, 3, 4, 5, 6, 7});
    TempFile file(ArchiveOf(width, height, {Deflate(bottomRows), trailed}));
    ImageUnpacker unpacker;
    ASSERT_TRUE(unpacker.Open(file.Wide()));
    Bytes expected(width * height, 0);
    std::copy(bottomRows.begin(), bottomRows.end(), expected.begin());
    ExpectFrameEquals(expected, unpacker.ReadFrame(0));
    ExpectFrameEquals(Pattern(width * height, 4), unpacker.ReadFrame(1));
}

TEST(ImageUnpacker, SmallFrameAfterLargeOneIgnoresStaleBufferBytes) {
    // The packed buffer keeps the large stream's tail; the small frame must not read it.
    const uint32_t width = 64, height = 64;
    Bytes noisy(width * height);
    std::mt19937 random(7);
    for (auto& b : noisy) b = static_cast<uint8_t>(random());
    const Bytes flat(width * height, 17);
    TempFile file(ArchiveOf(width, height, {Deflate(noisy, 0), Deflate(flat, 9)}));
    ImageUnpacker unpacker;
    ASSERT_TRUE(unpacker.Open(file.Wide()));
    ExpectFrameEquals(noisy, unpacker.ReadFrame(0));
    ExpectFrameEquals(flat, unpacker.ReadFrame(1));
    ExpectFrameEquals(noisy, unpacker.ReadFrame(0));
}

TEST(ImageUnpacker, ReturnedFramesOutliveTheUnpacker) {
    const Bytes picture = Pattern(8 * 8, 3);
    TempFile file(ArchiveOf(8, 8, {Deflate(picture)}));
    std::vector<uint8_t> frame;
    {
        ImageUnpacker unpacker;
        ASSERT_TRUE(unpacker.Open(file.Wide()));
        frame = unpacker.ReadFrame(0);
        std::vector<uint8_t> second = unpacker.ReadFrame(0);
        second.assign(second.size(), 0);  // a new array each call: changing one leaves the other
    }
    ExpectFrameEquals(picture, frame);
}

#ifdef __linux__
size_t OpenDescriptors() {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                             std::filesystem::directory_iterator{}));
}

TEST(ImageUnpacker, OpeningTwiceKeepsExactlyOneFileOpen) {
    TempFile file(ArchiveOf(2, 2, {Deflate(Bytes(4, 1))}));
    const size_t before = OpenDescriptors();
    {
        ImageUnpacker unpacker;
        EXPECT_TRUE(unpacker.Open(file.Wide()));
        EXPECT_TRUE(unpacker.Open(file.Wide()));
        EXPECT_EQ(OpenDescriptors(), before + 1);
        EXPECT_FALSE(unpacker.Open(TempFile::WideOf(file.directory / "missing")));
        EXPECT_EQ(OpenDescriptors(), before);
        EXPECT_TRUE(unpacker.Open(file.Wide()));
    }
    EXPECT_EQ(OpenDescriptors(), before);
}
#endif

TEST(ImageUnpacker, OpeningTwiceReadsTheSecondArchive) {
    TempFile first(ArchiveOf(2, 2, {Deflate(Bytes(4, 1))}));
    TempFile second(ArchiveOf(3, 1, {Deflate(Bytes(3, 2)), Deflate(Bytes(3, 9))}));
    ImageUnpacker unpacker;
    ASSERT_TRUE(unpacker.Open(first.Wide()));
    ASSERT_TRUE(unpacker.Open(second.Wide()));
    EXPECT_EQ(unpacker.Width(), 3u);
    EXPECT_EQ(unpacker.FrameCount(), 2u);
    ExpectFrameEquals(Bytes(3, 9), unpacker.ReadFrame(1));
}

struct OpenFailureCase {
    const char* name;
    Bytes content;
    OpenStatus expected;
    ArchiveHeader header;  // what the accessors must show afterwards
};

TEST(ImageUnpacker, OpenFailsOnFilesTooShortForTheirHeaderOrIndex) {
    Bytes tenBytes;
    PutWord(tenBytes, 0, 640);
    PutWord(tenBytes, 4, 480);
    tenBytes.resize(10, 0x07);  // frameCount would be 0x0707 if the two bytes counted
    Bytes indexCut = ArchiveOf(4, 3, {Deflate(Bytes(12, 1)), Deflate(Bytes(12, 2))});
    indexCut.resize(16 + 12);
    Bytes hugeCount = ArchiveOf(4, 3, {});
    PutWord(hugeCount, 8, 0xFFFFFFFF);
    Bytes justTooMany = ArchiveOf(4, 3, {});
    PutWord(justTooMany, 8, kMaxFrameCount + 1);
    Bytes maxCount = ArchiveOf(4, 3, {});
    PutWord(maxCount, 8, kMaxFrameCount);

    const OpenFailureCase cases[] = {
        {"empty file", {}, OpenStatus::HeaderCutShort, {0, 0, 0, 0}},
        {"10 bytes", tenBytes, OpenStatus::HeaderCutShort, {640, 480, 0x0707, 0}},
        {"index cut short", indexCut, OpenStatus::IndexBeyondEnd, {4, 3, 2, 0}},
        {"frame count 2^32-1", hugeCount, OpenStatus::TooManyFrames, {4, 3, 0xFFFFFFFF, 0}},
        {"frame count 2^29", justTooMany, OpenStatus::TooManyFrames, {4, 3, kMaxFrameCount + 1, 0}},
        {"frame count 2^29-1, no index",
         maxCount,
         OpenStatus::IndexBeyondEnd,
         {4, 3, kMaxFrameCount, 0}},
    };
    for (const OpenFailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempFile file(c.content);
        ImageUnpacker unpacker;
        EXPECT_EQ(unpacker.TryOpen(file.Wide().c_str()), c.expected);
        EXPECT_FALSE(unpacker.IsOpen());
        EXPECT_TRUE(unpacker.Index().empty());
        EXPECT_EQ(unpacker.Width(), c.header.width);
        EXPECT_EQ(unpacker.Height(), c.header.height);
        EXPECT_EQ(unpacker.FrameCount(), c.header.frameCount);
        std::vector<uint8_t> frame;
        EXPECT_EQ(unpacker.TryReadFrame(0, frame).error, FrameError::NotOpen);
    }
}

TEST(ImageUnpacker, OpenFailsOnMissingFilesAndDirectoriesAndClearsTheHeader) {
    TempFile good(ArchiveOf(4, 3, {Deflate(Bytes(12, 1))}));
    const std::filesystem::path paths[] = {good.directory / "missing.vek", good.directory, ""};
    for (const std::filesystem::path& path : paths) {
        SCOPED_TRACE(path.string());
        ImageUnpacker unpacker;
        ASSERT_TRUE(unpacker.Open(good.Wide()));
        EXPECT_EQ(unpacker.TryOpen(TempFile::WideOf(path).c_str()), OpenStatus::CannotOpen);
        EXPECT_EQ(unpacker.Width(), 0u);
        EXPECT_EQ(unpacker.Height(), 0u);
        EXPECT_EQ(unpacker.FrameCount(), 0u);
    }
}

TEST(ImageUnpacker, OpensNonAsciiPaths) {
    TempFile file(ArchiveOf(2, 1, {Deflate(Bytes{5, 6})}),
                  std::filesystem::path(u8"影絵 ärchive.vek"));
    if (!std::filesystem::exists(file.path)) {
        // Wine maps file names through the Unix locale; without a glibc locale for its LANG,
        // it cannot store this name at all.
        GTEST_SKIP() << "the file system cannot hold this name here";
    }
    ImageUnpacker unpacker;
    ASSERT_TRUE(unpacker.Open(file.Wide()));
    ExpectFrameEquals(Bytes{5, 6}, unpacker.ReadFrame(0));
}

TEST(ImageUnpacker, ArchiveOfNoFramesOpensButYieldsNone) {
    TempFile file(ArchiveOf(4, 3, {}));
    ImageUnpacker unpacker;
    ASSERT_TRUE(unpacker.Open(file.Wide()));
    EXPECT_EQ(unpacker.FrameCount(), 0u);
    std::vector<uint8_t> frame;
    EXPECT_EQ(unpacker.TryReadFrame(0, frame).error, FrameError::NumberOutOfRange);
}

#ifdef __linux__
TEST(ImageUnpacker, FileHeldByALockingWriterDoesNotOpen) {
    // POSIX has no share modes; a writer that announces itself with an exclusive lock is the
    // nearest thing to a file held open for writing elsewhere.
    TempFile file(ArchiveOf(2, 1, {Deflate(Bytes{5, 6})}));
    const int writer = ::open(file.Narrow().c_str(), O_RDWR);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);
    ImageUnpacker unpacker;
    EXPECT_EQ(unpacker.TryOpen(file.Wide().c_str()), OpenStatus::CannotOpen);
    ::flock(writer, LOCK_UN);
    EXPECT_TRUE(unpacker.Open(file.Wide()));
    // Other readers are welcome meanwhile, and a locking writer is kept out.
    EXPECT_TRUE(std::ifstream(file.path, std::ios::binary).is_open());
    EXPECT_NE(::flock(writer, LOCK_EX | LOCK_NB), 0);
    ::close(writer);
}
#endif

#ifdef _WIN32
TEST(ImageUnpacker, OthersMayReadButNotWriteWhileOpen) {
    TempFile file(ArchiveOf(2, 1, {Deflate(Bytes{5, 6})}));
    ImageUnpacker unpacker;
    ASSERT_TRUE(unpacker.Open(file.Wide()));
    EXPECT_TRUE(std::ifstream(file.path, std::ios::binary).is_open());
    EXPECT_FALSE(std::ofstream(file.path, std::ios::binary | std::ios::app).is_open());
}
#endif

}  // namespace
