// The frame-rate label: its text in the runtime library's locale, the opaque box and its
// clipping to the label bitmap, drawn into a 32-bit bitmap that stands in for the picture.
#include <windows.h>
// The platform headers below need the types of <windows.h>.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <string>
#include <vector>

#include "windows/app_state.h"
#include "windows/fps_label.h"

namespace {

std::string Utf8(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += static_cast<char>(c < 128 ? c : '?');
    return out;
}

TEST(FpsText, OneDigitAfterTheDecimalSeparator) {
    struct Case {
        double rate;
        const wchar_t* text;
    };
    const Case cases[] = {{0.0, L"FPS:0.0"},
                          {29.97, L"FPS:30.0"},
                          {12.34, L"FPS:12.3"},
                          {59.96, L"FPS:60.0"},
                          {0.04, L"FPS:0.0"},
                          {1234.56, L"FPS:1234.6"},
                          {1e6 + 0.25, L"FPS:1000000.2"}};
    const std::string saved = setlocale(LC_ALL, nullptr);
    setlocale(LC_ALL, "C");
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8(FpsText(c.rate)), Utf8(c.text)) << "rate " << c.rate;
    }
    setlocale(LC_ALL, saved.c_str());
}

TEST(FpsText, FollowsTheLocalesDecimalSeparator) {
    const std::string saved = setlocale(LC_ALL, nullptr);
    // A locale whose decimal separator is a comma.
    const char* names[] = {"German_Germany.1252", "de-DE", "German"};
    const char* chosen = nullptr;
    for (const char* name : names) {
        if (setlocale(LC_ALL, name)) {
            chosen = name;
            break;
        }
    }
    if (!chosen) {
        setlocale(LC_ALL, saved.c_str());
        GTEST_SKIP() << "no locale with a comma separator here";
    }
    const std::string separator = localeconv()->decimal_point;
    ASSERT_EQ(separator, ",") << "locale " << chosen;
    EXPECT_EQ(Utf8(FpsText(12.34)), "FPS:12" + separator + "3") << "locale " << chosen;
    setlocale(LC_ALL, saved.c_str());
}

// ---- the opaque box ----

struct BoxCase {
    const char* name;
    int32_t width;
    int32_t height;
    RECT box;
};

TEST(MakeBoxOpaque, SetsAlphaInsideTheClippedBoxOnly) {
    const BoxCase cases[] = {
        {"inside", 10, 6, {0, 0, 4, 3}},
        {"whole bitmap", 10, 6, {0, 0, 10, 6}},
        {"wider and taller than the bitmap", 10, 6, {0, 0, 25, 14}},
        {"offset", 10, 6, {3, 2, 7, 5}},
        {"starting outside", 10, 6, {-4, -2, 3, 2}},
        {"empty", 10, 6, {2, 2, 2, 5}},
        {"beyond the bitmap", 10, 6, {12, 7, 20, 9}},
    };
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Guard words after the bitmap catch writes past its end.
        std::vector<uint32_t> bits(static_cast<size_t>(c.width * c.height) + 16);
        for (size_t i = 0; i < bits.size(); ++i) bits[i] = 0x00102030u + static_cast<uint32_t>(i);
        const std::vector<uint32_t> before = bits;
        MakeBoxOpaque(bits.data(), c.width, c.height, c.box);
        for (int32_t y = 0; y < c.height; ++y) {
            for (int32_t x = 0; x < c.width; ++x) {
                const size_t i = static_cast<size_t>(y * c.width + x);
                const bool inside =
                    x >= c.box.left && x < c.box.right && y >= c.box.top && y < c.box.bottom;
                const uint32_t expected = inside ? (before[i] | 0xFF000000u) : before[i];
                ASSERT_EQ(bits[i], expected) << "pixel " << x << "," << y;
            }
        }
        for (size_t i = static_cast<size_t>(c.width * c.height); i < bits.size(); ++i) {
            ASSERT_EQ(bits[i], before[i]) << "guard word " << i;
        }
    }
}

// ---- drawing into a picture ----

class Picture {
  public:
    Picture(int32_t width, int32_t height, uint32_t fill) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                                   nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        for (int32_t i = 0; i < width * height; ++i) bits_[i] = fill;
    }
    ~Picture() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    uint32_t at(int32_t x, int32_t y) const {
        GdiFlush();
        return bits_[y * width_ + x];
    }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }

  private:
    int32_t width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    uint32_t* bits_ = nullptr;
};

// Size of the opaque box at the top-left corner: the run of opaque pixels along the first row
// and the first column.
SIZE OpaqueBox(const Picture& p) {
    SIZE size{0, 0};
    while (size.cx < p.width() && (p.at(size.cx, 0) >> 24) == 0xFF) ++size.cx;
    while (size.cy < p.height() && (p.at(0, size.cy) >> 24) == 0xFF) ++size.cy;
    return size;
}

// The label is drawn in Arial bold of the default height; measured here on its own.
SIZE TextSize(const wchar_t* text) {
    LOGFONTW font{};
    font.lfWeight = FW_BOLD;
    font.lfOutPrecision = OUT_TT_PRECIS;
    wcscpy(font.lfFaceName, L"Arial");
    HFONT handle = CreateFontIndirectW(&font);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, handle);
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, text, -1, &r, DT_CALCRECT);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(handle);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

// The label state lives for the process, so one test goes through its life: the first label
// (0.0) fixes the bitmap at twice its size; later, larger labels are clipped to it.
TEST(DrawFpsLabel, OpaqueBlackBoxWithYellowTextClippedToTheFirstLabelsDoubleSize) {
    const uint32_t kUntouched = 0x00000000u;  // fully transparent picture
    const SIZE first = TextSize(L"FPS:0.0");
    ASSERT_GT(first.cx, 0);
    ASSERT_GT(first.cy, 0);

    struct Step {
        double rate;
        const wchar_t* text;
    };
    const Step steps[] = {
        {0.0, L"FPS:0.0"}, {29.5, L"FPS:29.5"}, {123456789.0, L"FPS:123456789.0"}};
    for (const Step& step : steps) {
        SCOPED_TRACE("rate " + std::to_string(step.rate));
        Picture picture(400, 100, kUntouched);
        DrawFpsLabel(picture.dc(), step.rate);
        const SIZE text = TextSize(step.text);
        const SIZE expected{std::min(text.cx, 2 * first.cx), std::min(text.cy, 2 * first.cy)};
        const SIZE box = OpaqueBox(picture);
        EXPECT_EQ(box.cx, expected.cx);
        EXPECT_EQ(box.cy, expected.cy);

        int yellow = 0;
        for (int32_t y = 0; y < picture.height(); ++y) {
            for (int32_t x = 0; x < picture.width(); ++x) {
                const uint32_t p = picture.at(x, y);
                if (x < box.cx && y < box.cy) {
                    ASSERT_EQ(p >> 24, 0xFFu) << "pixel " << x << "," << y;
                    const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
                    ASSERT_EQ(b, 0u) << "pixel " << x << "," << y;  // black to yellow only
                    ASSERT_NEAR(static_cast<double>(r), static_cast<double>(g), 1.0);
                    if (r > 200) ++yellow;
                } else if (x >= text.cx || y >= text.cy) {
                    ASSERT_EQ(p, kUntouched) << "pixel " << x << "," << y;
                }
            }
        }
        EXPECT_GT(yellow, 10);
    }
}

}  // namespace
