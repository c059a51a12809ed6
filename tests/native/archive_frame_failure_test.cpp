#include <gtest/gtest.h>

#include "archive/image_unpacker.h"
#include "archive_test_support.h"

using namespace archive_test;

namespace {

// Every way a frame can fail to read: the archive, the frame number to read, and the reason the
// non-exiting path must give. The player's ReadFrame must end the process with status 0 on each.
struct FrameFailureCase {
    const char* name;
    Bytes archive;
    uint32_t frame;
    FrameError expected;
};

Bytes WithWord(Bytes archive, size_t at, uint32_t value) {
    PutWord(archive, at, value);
    return archive;
}

std::vector<FrameFailureCase> FailureCases() {
    const uint32_t w = 8, h = 6;
    const Bytes picture = Pattern(w * h, 5);
    const Bytes good = Deflate(picture);
    Bytes badAdler = good;
    badAdler.back() ^= 0x01;
    Bytes longer = Deflate(Pattern(w * h + 1, 5));
    Bytes cut = good;
    cut.resize(cut.size() - 3);
    const Bytes dictionary(32, 9);
    const Bytes twoFrames = ArchiveOf(w, h, {good, good});
    const uint32_t size = static_cast<uint32_t>(good.size());

    std::vector<FrameFailureCase> cases = {
        {"frame number = frame count", twoFrames, 2, FrameError::NumberOutOfRange},
        {"frame number 2^32-1", twoFrames, 0xFFFFFFFF, FrameError::NumberOutOfRange},
        {"no frames", ArchiveOf(w, h, {}), 0, FrameError::NumberOutOfRange},
        {"width 0", ArchiveOf(0, h, {good}), 0, FrameError::EmptyPicture},
        {"height 0", ArchiveOf(w, 0, {good}), 0, FrameError::EmptyPicture},
        {"65536 x 65536 wraps to 0", ArchiveOf(65536, 65536, {good}), 0,
         FrameError::PictureTooLarge},
        {"65537 x 65537 wraps to 131073", ArchiveOf(65537, 65537, {good}), 0,
         FrameError::PictureTooLarge},
        {"wrong Adler-32", ArchiveOf(w, h, {badAdler}), 0, FrameError::Damaged},
        {"one byte too long", ArchiveOf(w, h, {longer}), 0, FrameError::TooLong},
        {"cut short", ArchiveOf(w, h, {cut}), 0, FrameError::CutShort},
        {"gzip wrapper", ArchiveOf(w, h, {Deflate(picture, 6, Wrapper::Gzip)}), 0,
         FrameError::Damaged},
        {"raw deflate", ArchiveOf(w, h, {Deflate(picture, 6, Wrapper::Raw)}), 0,
         FrameError::Damaged},
        {"preset dictionary",
         ArchiveOf(w, h, {Deflate(picture, 6, Wrapper::Zlib, 15, Z_DEFAULT_STRATEGY, &dictionary)}),
         0, FrameError::NeedsDictionary},
        {"packed size 0", LayOut(w, h, {{0, 0}}, good), 0, FrameError::EmptyStream},
        {"wholly beyond end of file", LayOut(w, h, {{size, size}}, good), 0,
         FrameError::BeyondEndOfFile},
        {"partly beyond end of file", LayOut(w, h, {{1, size}}, good), 0,
         FrameError::BeyondEndOfFile},
        {"packed size 2^32-1", LayOut(w, h, {{0, 0xFFFFFFFF}}, good), 0,
         FrameError::BeyondEndOfFile},
        // 24 + offset would wrap a 32-bit sum back to byte 24, where a valid stream lies.
        {"start wraps 32 bits", LayOut(w, h, {{0, size}, {0xFFFFFFF0u, size}}, good), 1,
         FrameError::StreamStartOutOfRange},
        {"start beyond 2^31-1", LayOut(w, h, {{0x7FFFFFF0u, size}}, good), 0,
         FrameError::StreamStartOutOfRange},
        {"second frame bad after a good one", ArchiveOf(w, h, {good, badAdler}), 1,
         FrameError::Damaged},
    };
    return cases;
}

TEST(FrameFailure, NonExitingPathNamesTheReason) {
    for (const FrameFailureCase& c : FailureCases()) {
        SCOPED_TRACE(c.name);
        TempFile file(c.archive);
        ImageUnpacker unpacker;
        ASSERT_TRUE(unpacker.Open(file.Wide()));
        // A good frame first, where there is one, so that the buffer holds stale bytes.
        std::vector<uint8_t> frame;
        if (c.frame > 0) unpacker.TryReadFrame(0, frame);
        const FrameStatus status = unpacker.TryReadFrame(c.frame, frame);
        EXPECT_EQ(status.error, c.expected) << DescribeFrameStatus(status);
        EXPECT_TRUE(frame.empty());
        EXPECT_FALSE(DescribeFrameStatus(status).empty());
    }
}

TEST(FrameFailure, ReadFrameEndsTheProcessWithStatusZero) {
    for (const FrameFailureCase& c : FailureCases()) {
        SCOPED_TRACE(c.name);
        TempFile file(c.archive);
        EXPECT_EXIT(
            {
                ImageUnpacker unpacker;
                unpacker.Open(file.Wide());
                if (c.frame > 0) unpacker.ReadFrame(0);
                unpacker.ReadFrame(c.frame);
                std::fputs("ReadFrame returned\n", stderr);
                std::_Exit(3);
            },
            testing::ExitedWithCode(0), "");
    }
}

TEST(FrameFailure, ReadFrameAfterAFailedOpenEndsTheProcess) {
    Bytes indexCut = ArchiveOf(4, 3, {Deflate(Bytes(12, 1)), Deflate(Bytes(12, 2))});
    indexCut.resize(20);
    const std::pair<const char*, Bytes> cases[] = {
        {"10-byte file", Bytes(10, 1)},
        {"index cut short", indexCut},
        {"frame count beyond the file", WithWord(ArchiveOf(4, 3, {}), 8, 100000000)},
    };
    for (const auto& [name, content] : cases) {
        SCOPED_TRACE(name);
        TempFile file(content);
        EXPECT_EXIT(
            {
                ImageUnpacker unpacker;
                if (unpacker.Open(file.Wide())) std::_Exit(4);
                unpacker.ReadFrame(0);
                std::_Exit(3);
            },
            testing::ExitedWithCode(0), "");
    }
    TempFile missing(Bytes{});
    const std::wstring path = TempFile::WideOf(missing.directory / "missing.vek");
    EXPECT_EXIT(
        {
            ImageUnpacker unpacker;
            unpacker.Open(path);
            unpacker.ReadFrame(0);
            std::_Exit(3);
        },
        testing::ExitedWithCode(0), "");
}

TEST(FrameFailure, LastFrameReadsAndTheNextEndsTheProcess) {
    const std::vector<Bytes> pictures = {Pattern(9, 1), Pattern(9, 2), Pattern(9, 3)};
    TempFile file(
        ArchiveOf(3, 3, {Deflate(pictures[0]), Deflate(pictures[1]), Deflate(pictures[2])}));
    ImageUnpacker unpacker;
    ASSERT_TRUE(unpacker.Open(file.Wide()));
    EXPECT_EQ(unpacker.ReadFrame(2), pictures[2]);
    EXPECT_EXIT(
        {
            unpacker.ReadFrame(3);
            std::_Exit(3);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
