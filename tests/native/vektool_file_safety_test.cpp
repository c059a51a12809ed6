// What vektool does to the files around an archive: any name, leftovers of killed packs, the
// previous archive kept, folders as inputs; and the picture kinds and the turn of a video frame.

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>

#include "dropped_files.h"
#include "file_names.h"
#include "leftover_files.h"
#include "picture_io.h"
#include "tool_error.h"
#include "video_frames.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

class Folder : public testing::Test {
  protected:
    void SetUp() override {
        // A name beyond ASCII, so that every call below meets one.
        folder = Utf8Of(fs::temp_directory_path()) + "/vektool Ω 作品 " +
                 std::to_string(std::random_device{}());
        fs::create_directories(PathOf(folder));
    }
    void TearDown() override { fs::remove_all(PathOf(folder)); }

    std::string PathIn(const std::string& name) const { return folder + "/" + name; }

    std::string Write(const std::string& name, const Bytes& bytes) {
        std::FILE* file = OpenFile(PathIn(name), "wb");
        EXPECT_NE(file, nullptr) << name;
        if (file == nullptr) return PathIn(name);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        return PathIn(name);
    }
    Bytes Read(const std::string& name) {
        std::FILE* file = OpenFile(PathIn(name), "rb");
        if (file == nullptr) return {};
        Bytes bytes;
        for (int c; (c = std::fgetc(file)) != EOF;) bytes.push_back(uint8_t(c));
        std::fclose(file);
        return bytes;
    }
    void Age(const std::string& name, std::chrono::seconds age) {
        fs::last_write_time(PathOf(PathIn(name)), fs::file_time_type::clock::now() - age);
    }
    std::set<std::string> Names() {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(PathOf(folder))) {
            names.insert(Utf8Of(entry.path().filename()));
        }
        return names;
    }

    std::string folder;
};

TEST(LeftoverNames, AreThePacksOwnNamesOnly) {
    const std::pair<const char*, bool> cases[] = {
        {"vek.bin.vektool-004211.partial", true},
        {"vek.bin.vektool-999999.streams", true},
        {"影絵 🎬.bin.vektool-000000.input", true},
        {"vek.bin.tmp123456.streams", true},  // the scratch file of earlier versions
        {"vek.bin.tmp42", true},
        {"clip.bin.tmp7.input", true},
        {"vek.bin", false},
        {"vek (previous).bin", false},
        {"vek.bin.vektool-04211.partial", false},  // five digits
        {"vek.bin.vektool-0042111.partial", false},
        {"vek.bin.vektool-abcdef.partial", false},
        {"vek.bin.vektool-004211.txt", false},
        {".vektool-004211.partial", false},
        {"notes.tmp12", false},
        {"vek.bin.tmp1234567", false},
        {"report.bin.tmp12.docx", false},
    };
    for (const auto& [name, leftover] : cases) {
        EXPECT_EQ(IsLeftoverName(name), leftover) << name;
    }
}

TEST_F(Folder, LeftoversGoOnlyWhenOlderThanAMinuteAndClosed) {
    struct Case {
        const char* name;
        std::chrono::seconds age;
        bool removed;
    };
    const Case cases[] = {
        {"vek.bin.vektool-000001.streams", std::chrono::seconds(120), true},
        {"vek.bin.vektool-000002.partial", std::chrono::seconds(61), true},
        {"vek.bin.tmp55.streams", std::chrono::seconds(3600), true},
        {"vek.bin.vektool-000003.streams", std::chrono::seconds(20), false},  // may be written
        {"vek.bin", std::chrono::seconds(3600), false},
        {"frames.tmp12", std::chrono::seconds(3600), false},
    };
    for (const Case& c : cases) {
        Write(c.name, {1, 2, 3});
        Age(c.name, c.age);
    }
    // A pack still running: its file is open.
    std::string open;
    std::FILE* held = CreateScratchBeside(PathIn("other.bin"), ".streams", open);
    ASSERT_NE(held, nullptr);
    const std::string openName = Utf8Of(PathOf(open).filename());

    EXPECT_EQ(RemoveLeftoverFiles(folder), 3u);
    const std::set<std::string> left = Names();
    for (const Case& c : cases) {
        EXPECT_EQ(left.count(c.name) == 0, c.removed) << c.name << ", " << c.age.count() << " s";
    }
    // Without the minute's wait only the open file stays.
    EXPECT_EQ(RemoveLeftoverFiles(folder, 0), 1u);
    EXPECT_EQ(Names().count(openName), 1u) << openName << " was removed while open";
    std::fclose(held);
    EXPECT_EQ(RemoveLeftoverFiles(folder, 0), 1u);
    EXPECT_EQ(Names(), (std::set<std::string>{"vek.bin", "frames.tmp12"}));
}

TEST(PreviousArchiveName, TakesTheFirstFreeNameAfterTheArchive) {
    struct Case {
        const char* archive;
        std::set<std::string> taken;
        const char* expected;
    };
    const Case cases[] = {
        {"vek.bin", {}, "vek (previous).bin"},
        {"vek.bin", {"vek (previous).bin"}, "vek (previous 2).bin"},
        {"vek.bin", {"vek (previous).bin", "vek (previous 2).bin"}, "vek (previous 3).bin"},
        {"vek.bin", {"vek (previous 2).bin"}, "vek (previous).bin"},
        {"影絵 🎬.bin", {}, "影絵 🎬 (previous).bin"},
        {"walk", {}, "walk (previous)"},
        {"my.clip.vek", {"my.clip (previous).vek"}, "my.clip (previous 2).vek"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PreviousArchiveName(c.archive,
                                      [&](const std::string& n) { return c.taken.count(n) > 0; }),
                  c.expected)
            << c.archive;
    }
}

TEST_F(Folder, TheDropKeepsWhatIsThereEvenUnreadable) {
    // No archive yet: the new one is put in place, nothing kept.
    Write("new1", {1});
    std::string previous;
    KeepPreviousArchive(PathIn("new1"), PathIn("vek.bin"), previous);
    EXPECT_EQ(previous, "");
    EXPECT_EQ(Read("vek.bin"), Bytes{1});

    Write("new2", {2});
    KeepPreviousArchive(PathIn("new2"), PathIn("vek.bin"), previous);
    EXPECT_EQ(previous, "vek (previous).bin");
    EXPECT_EQ(Read("vek.bin"), Bytes{2});
    EXPECT_EQ(Read("vek (previous).bin"), Bytes{1});

    // A name that exists counts as taken, whether or not it can be read: a folder here.
    fs::create_directory(PathOf(PathIn("vek (previous 2).bin")));
    Write("new3", {3});
    KeepPreviousArchive(PathIn("new3"), PathIn("vek.bin"), previous);
    EXPECT_EQ(previous, "vek (previous 3).bin");
    EXPECT_EQ(Read("vek (previous 3).bin"), Bytes{2});
    EXPECT_EQ(Names(), (std::set<std::string>{"vek.bin", "vek (previous).bin",
                                              "vek (previous 2).bin", "vek (previous 3).bin"}));
}

TEST_F(Folder, ADroppedFolderGivesItsPicturesAndVideosInNameOrder) {
    for (const char* name : {"frame10.png", "Frame2.jpg", "frame1.PNG", "clip 3.mp4", "Thumbs.db",
                             "notes.txt", "ĉu ŝi.gif", "frame 9.bmp"}) {
        Write(name, {0});
    }
    fs::create_directory(PathOf(PathIn("sub.png")));
    const std::vector<std::string> expected = {"clip 3.mp4", "frame 9.bmp", "frame1.PNG",
                                               "Frame2.jpg", "frame10.png", "ĉu ŝi.gif"};
    std::vector<std::string> names;
    for (const std::string& path : ExpandFolders({"-", folder, "x.y4m"})) {
        names.push_back(path == "-" || path == "x.y4m" ? path : Utf8Of(PathOf(path).filename()));
    }
    std::vector<std::string> withEnds = {"-"};
    withEnds.insert(withEnds.end(), expected.begin(), expected.end());
    withEnds.push_back("x.y4m");
    EXPECT_EQ(names, withEnds);

    const std::string empty = PathIn("empty");
    fs::create_directory(PathOf(empty));
    Write("empty/readme.txt", {0});
    try {
        ExpandFolders({empty});
        ADD_FAILURE() << "an empty folder packed";
    } catch (const ToolError& error) {
        EXPECT_NE(error.message.find("holds no pictures or videos"), std::string::npos)
            << error.message;
    }
}

void AppendBytes(void* context, void* data, int size) {
    auto* bytes = static_cast<Bytes*>(context);
    bytes->insert(bytes->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

TEST(PictureKinds, JpegBmpAndTgaDecodeToTheirGrey) {
    // Four grey pixels over two rows, and one colour pixel for luma.
    const uint8_t rgb[] = {0, 0, 0, 255, 255, 255, 200, 0, 0, 0, 0, 255};
    struct Case {
        const char* name;
        PictureKind kind;
        int (*write)(stbi_write_func*, void*, int, int, int, const void*);
        int tolerance;
    };
    const auto jpeg = [](stbi_write_func* f, void* c, int w, int h, int n, const void* d) {
        return stbi_write_jpg_to_func(f, c, w, h, n, d, 100);
    };
    const Case cases[] = {
        {"p.bmp", PictureKind::Bmp, stbi_write_bmp_to_func, 0},
        {"p.TGA", PictureKind::Tga, stbi_write_tga_to_func, 0},
        {"p.jpg", PictureKind::Jpeg, jpeg, 40},  // JPEG blurs colour edges even at 100
    };
    const uint8_t expected[] = {0, 255, 60, 28};  // luma (77 R + 150 G + 29 B) / 256, truncated
    for (const Case& c : cases) {
        Bytes file;
        ASSERT_NE(c.write(AppendBytes, &file, 2, 2, 3, rgb), 0) << c.name;
        EXPECT_EQ(PictureKindOf(file, c.name), c.kind) << c.name;
        const GreyPicture picture = DecodePicture(file, c.name);
        ASSERT_EQ(picture.width, 2u) << c.name;
        ASSERT_EQ(picture.height, 2u) << c.name;
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_NEAR(picture.pixels[i], expected[i], c.tolerance) << c.name << " pixel " << i;
        }
    }
    EXPECT_EQ(PictureKindOf(Bytes{'x', 'y'}, "p.tga.txt"), PictureKind::None);
    try {
        DecodePicture(Bytes{'x', 'y', 'z'}, "notes.txt");
        ADD_FAILURE() << "a text file decoded";
    } catch (const ToolError& error) {
        EXPECT_NE(error.message.find("PNG, JPEG, BMP, TGA"), std::string::npos) << error.message;
    }
}

TEST(RotateClockwise, TurnsAPictureAsFfmpegShowsARotatedStream) {
    // 3 wide, 2 high:  a b c
    //                  d e f
    const GreyPicture source{3, 2, {'a', 'b', 'c', 'd', 'e', 'f'}};
    struct Case {
        uint32_t degrees;
        uint32_t width, height;
        std::string pixels;
    };
    const Case cases[] = {
        {0, 3, 2, "abcdef"},
        {90, 2, 3, "daebfc"},  // the left column becomes the top row, read upwards
        {180, 3, 2, "fedcba"},
        {270, 2, 3, "cfbead"},
        {45, 3, 2, "abcdef"},  // no such turn in a stream: left as it is
    };
    for (const Case& c : cases) {
        const GreyPicture turned = RotateClockwise(source, c.degrees);
        EXPECT_EQ(turned.width, c.width) << c.degrees;
        EXPECT_EQ(turned.height, c.height) << c.degrees;
        EXPECT_EQ(std::string(turned.pixels.begin(), turned.pixels.end()), c.pixels) << c.degrees;
    }
    // Four quarter turns give the picture back.
    GreyPicture turned = source;
    for (int i = 0; i < 4; ++i) turned = RotateClockwise(turned, 90);
    EXPECT_EQ(turned.pixels, source.pixels);
}

}  // namespace
