// Every archive under tests/, each with its expected outcome in data/archives/expected.txt: the
// reader must open exactly those that should open, decode exactly the frames that should decode,
// give the expected reason for the others, and end the process with status 0 when the player reads
// one of them.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "archive/image_unpacker.h"

namespace {

struct ExpectedArchive {
    std::string name;  // path from tests/
    bool opens = false;
    uint32_t frames = 0;
    std::map<uint32_t, std::string> badFrames;  // frame -> text its reason must contain
};

std::filesystem::path TestsDirectory() {
    return std::filesystem::path(NOCTIVA_TEST_DATA) / "..";
}

std::vector<ExpectedArchive> LoadExpectations() {
    const std::filesystem::path directory = std::filesystem::path(NOCTIVA_TEST_DATA) / "archives";
    std::ifstream in(directory / "expected.txt");
    std::vector<ExpectedArchive> out;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        ExpectedArchive e;
        std::string outcome, frames, bad;
        std::getline(fields, e.name, '\t');
        std::getline(fields, outcome, '\t');
        std::getline(fields, frames, '\t');
        std::getline(fields, bad);
        e.opens = outcome == "opens";
        e.frames = static_cast<uint32_t>(std::stoul(frames));
        if (bad != "none") {
            std::istringstream items(bad);
            std::string item;
            while (std::getline(items, item, ';')) {
                const size_t colon = item.find(':');
                e.badFrames[static_cast<uint32_t>(std::stoul(item.substr(0, colon)))] =
                    item.substr(colon + 1);
            }
        }
        out.push_back(e);
    }
    return out;
}

std::wstring PathOf(const std::string& name) {
    const std::filesystem::path path = TestsDirectory() / name;
#ifdef _WIN32
    return path.wstring();
#else
    return WidePathFromNative(path.string());
#endif
}

TEST(ArchiveData, EveryArchiveUnderTestsIsListedAndThereAreEnough) {
    const auto expected = LoadExpectations();
    ASSERT_GE(expected.size(), 20u);
    size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(TestsDirectory())) {
        if (entry.path().extension() != ".vek") continue;
        ++files;
        const std::string name =
            std::filesystem::relative(entry.path(), TestsDirectory()).generic_string();
        EXPECT_TRUE(std::any_of(expected.begin(), expected.end(),
                                [&](const ExpectedArchive& e) { return e.name == name; }))
            << name << " has no line in expected.txt";
    }
    EXPECT_EQ(files, expected.size());
}

TEST(ArchiveData, ReaderOutcomeMatchesExpectation) {
    for (const ExpectedArchive& e : LoadExpectations()) {
        SCOPED_TRACE(e.name);
        ImageUnpacker unpacker;
        const OpenStatus opened = unpacker.TryOpen(PathOf(e.name).c_str());
        EXPECT_EQ(opened == OpenStatus::Ok, e.opens) << DescribeOpenStatus(opened);
        if (!e.opens) continue;
        EXPECT_EQ(unpacker.FrameCount(), e.frames);
        std::vector<uint8_t> frame;
        for (uint32_t n = 0; n < unpacker.FrameCount(); ++n) {
            SCOPED_TRACE("frame " + std::to_string(n));
            const FrameStatus status = unpacker.TryReadFrame(n, frame);
            const auto bad = e.badFrames.find(n);
            if (bad == e.badFrames.end()) {
                EXPECT_TRUE(status.Ok()) << DescribeFrameStatus(status);
                EXPECT_EQ(frame.size(), size_t{unpacker.Width()} * unpacker.Height());
            } else {
                EXPECT_FALSE(status.Ok());
                EXPECT_NE(DescribeFrameStatus(status).find(bad->second), std::string::npos)
                    << DescribeFrameStatus(status) << " lacks '" << bad->second << "'";
            }
        }
    }
}

TEST(ArchiveData, PlayerEndsWithStatusZeroAtTheFirstBadFrame) {
    for (const ExpectedArchive& e : LoadExpectations()) {
        if (e.opens && e.badFrames.empty() && e.frames > 0) continue;
        SCOPED_TRACE(e.name);
        const std::wstring path = PathOf(e.name);
        // Read every frame in order as the player does: the process must end before the loop
        // does. Without frames, the player's first read is frame 0.
        EXPECT_EXIT(
            {
                ImageUnpacker unpacker;
                unpacker.Open(path);
                for (uint32_t n = 0; n < std::max(1u, unpacker.FrameCount()); ++n) {
                    unpacker.ReadFrame(n);
                }
                std::_Exit(3);
            },
            testing::ExitedWithCode(0), "");
    }
}

}  // namespace
