// Reading frames into a vector that the caller keeps: the same pictures as ReadFrame returns,
// and no heap allocation once the first frame has been read. The whole program's operator new
// is counted here, which is where std::vector and the inflate memory get their storage.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <random>
#include <string>

#include "archive/image_unpacker.h"
#include "archive_test_support.h"

using namespace archive_test;

namespace {
std::atomic<long> g_allocations{0};
}  // namespace

// The replacement pairs malloc with free; GCC cannot see that these are the program's own new
// and delete and warns about a mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t size) {
    g_allocations.fetch_add(1);
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, size_t) noexcept {
    std::free(block);
}

namespace {

Bytes Noise(size_t size, uint32_t seed) {
    Bytes out(size);
    std::mt19937 random(seed);
    for (auto& b : out) b = static_cast<uint8_t>(random());
    return out;
}

struct ReuseCase {
    const char* name;
    uint32_t width, height;
    std::vector<Bytes> streams;
    std::vector<Bytes> pictures;  // what each frame decodes to
    std::vector<uint32_t> order;  // frames read after the first read of frame order[0]
};

ReuseCase MakeCase(const char* name, uint32_t width, uint32_t height, std::vector<uint32_t> order) {
    const size_t size = size_t{width} * height;
    ReuseCase c{name, width, height, {}, {}, std::move(order)};
    // Frame 0 flat, frame 1 a stored (level 0) noise stream, the largest; frame 2 patterned;
    // frame 3 only its bottom third, so that the rest must come out zero whatever the kept
    // vector held before.
    c.pictures = {Bytes(size, 90), Noise(size, 3), Pattern(size, 5), Bytes(size, 0)};
    const Bytes bottom(size / 3, 222);
    std::copy(bottom.begin(), bottom.end(), c.pictures[3].begin());
    c.streams = {Deflate(c.pictures[0], 9), Deflate(c.pictures[1], 0), Deflate(c.pictures[2]),
                 Deflate(bottom)};
    return c;
}

TEST(ImageUnpackerReuse, KeptVectorGetsEveryFrameAndNoAllocationAfterTheFirst) {
    const ReuseCase cases[] = {
        // The largest stream comes after the first frame: its room is taken at the first read.
        MakeCase("largest later", 64, 48, {1, 2, 3, 0, 1, 3, 2}),
        MakeCase("largest first", 64, 48, {0, 3, 2, 1, 1, 0}),
        MakeCase("player size", 480, 360, {1, 3, 0, 2}),
        MakeCase("one row", 300, 1, {2, 1, 0}),
    };
    for (const ReuseCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempFile file(ArchiveOf(c.width, c.height, c.streams));
        ImageUnpacker unpacker;
        ASSERT_TRUE(unpacker.Open(file.Wide()));
        std::vector<uint8_t> frame;
        unpacker.ReadFrame(0, frame);
        ASSERT_EQ(frame, c.pictures[0]);
        const uint8_t* storage = frame.data();
        long allocations = 0;
        for (size_t k = 0; k < c.order.size(); ++k) {
            const uint32_t n = c.order[k];
            const long before = g_allocations.load();
            unpacker.ReadFrame(n, frame);
            allocations += g_allocations.load() - before;
            EXPECT_TRUE(frame == c.pictures[n]) << "read " << k << ": frame " << n;
        }
        EXPECT_EQ(allocations, 0) << "heap allocations after the first frame";
        EXPECT_EQ(frame.data(), storage) << "the caller's storage was replaced";
    }
}

TEST(ImageUnpackerReuse, CallersVectorTakesExactlyOneFrameWhateverItHeld) {
    const uint32_t width = 9, height = 7;
    const Bytes picture = Pattern(size_t{width} * height, 2);
    TempFile file(ArchiveOf(width, height, {Deflate(picture)}));
    ImageUnpacker unpacker;
    ASSERT_TRUE(unpacker.Open(file.Wide()));
    const size_t heldSizes[] = {0, 1, 62, 63, 64, 1000};
    for (const size_t held : heldSizes) {
        std::vector<uint8_t> frame(held, 0xEE);
        unpacker.ReadFrame(0, frame);
        EXPECT_TRUE(frame == picture) << "vector of " << held << " bytes before";
    }
}

TEST(ImageUnpackerReuse, AFrameThatCannotBeReadStillEndsTheProcess) {
    TempFile file(ArchiveOf(4, 3, {Deflate(Bytes(12, 1))}));
    ImageUnpacker unpacker;
    ASSERT_TRUE(unpacker.Open(file.Wide()));
    std::vector<uint8_t> frame;
    unpacker.ReadFrame(0, frame);
    EXPECT_EXIT(unpacker.ReadFrame(1, frame), testing::ExitedWithCode(0), "");
}

TEST(InflateMemory, StreamsAfterTheFirstTakeTheKeptBlocks) {
    const Bytes picture = Pattern(200 * 100, 8);
    const Bytes good = Deflate(picture);
    Bytes damaged = good;
    damaged[damaged.size() / 2] ^= 0x55;
    struct Step {
        const Bytes* stream;
        bool ok;
    };
    // A failing stream in between must give its blocks back too.
    const Step steps[] = {{&good, true}, {&damaged, false}, {&good, true}, {&damaged, false}};
    InflateMemory memory;
    Bytes output(picture.size());
    ASSERT_TRUE(TryInflateFrame(good.data(), uint32_t(good.size()), output.data(),
                                uint32_t(output.size()), &memory)
                    .Ok());
    const size_t blocks = memory.BlockCount();
    EXPECT_GE(blocks, 1u) << "zlib's state came from the kept memory";
    long allocations = 0;
    for (size_t k = 0; k < std::size(steps); ++k) {
        const long before = g_allocations.load();
        const FrameStatus status =
            TryInflateFrame(steps[k].stream->data(), uint32_t(steps[k].stream->size()),
                            output.data(), uint32_t(output.size()), &memory);
        allocations += g_allocations.load() - before;
        EXPECT_EQ(status.Ok(), steps[k].ok) << "step " << k;
        if (steps[k].ok) {
            EXPECT_TRUE(output == picture) << "step " << k;
        }
    }
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(memory.BlockCount(), blocks);
}

TEST(InflateMemory, BlocksAreHandedOutOnceUntilGivenBack) {
    InflateMemory memory;
    void* a = memory.Take(100);
    void* b = memory.Take(50);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b) << "a taken block is not handed out again";
    memory.Give(a);
    EXPECT_EQ(memory.Take(80), a) << "a given-back block large enough is reused";
    EXPECT_NE(memory.Take(100), b) << "a taken block is not handed out again";
    memory.Give(b);
    EXPECT_NE(memory.Take(60), b) << "too small for 60 bytes";
    int unknown = 0;
    memory.Give(&unknown);  // ignored
    EXPECT_EQ(memory.BlockCount(), 4u);
}

}  // namespace
