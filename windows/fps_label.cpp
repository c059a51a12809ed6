#include "windows/fps_label.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "windows/app_state.h"

namespace {

// Process-wide label state, created at first use and left to the system at exit.
HFONT labelFont = nullptr;
HDC labelDC = nullptr;
BITMAPINFOHEADER labelBitmapInfo{};
HBITMAP labelBitmap = nullptr;
void* labelBits = nullptr;

HFONT CreateLabelFont() {
    LOGFONTW font{};
    font.lfWeight = FW_BOLD;
    font.lfOutPrecision = OUT_TT_PRECIS;
    wcscpy(font.lfFaceName, L"Arial");
    return CreateFontIndirectW(&font);
}

void CreateLabelBitmap(int32_t w, int32_t h) {
    labelBitmapInfo.biSize = sizeof(BITMAPINFOHEADER);
    labelBitmapInfo.biWidth = 2 * w;
    labelBitmapInfo.biHeight = -2 * h;  // top-down rows
    labelBitmapInfo.biPlanes = 1;
    labelBitmapInfo.biBitCount = 32;
    labelBitmapInfo.biCompression = BI_RGB;
    labelBitmapInfo.biSizeImage = static_cast<DWORD>(16 * w * h);
    labelBitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&labelBitmapInfo),
                                   DIB_RGB_COLORS, &labelBits, nullptr, 0);
}

}  // namespace

std::wstring FpsText(double rate) {
    wchar_t text[256];
    swprintf(text, 256, L"FPS:%.1f", rate);
    return text;
}

void MakeBoxOpaque(uint32_t* bits, int32_t width, int32_t height, const RECT& box) {
    const int32_t top = std::max<int32_t>(box.top, 0);
    const int32_t bottom = std::min<int32_t>(box.bottom, height);
    const int32_t left = std::max<int32_t>(box.left, 0);
    const int32_t right = std::min<int32_t>(box.right, width);
    for (int32_t y = top; y < bottom; ++y) {
        uint32_t* row = bits + static_cast<size_t>(y) * static_cast<size_t>(width);
        for (int32_t x = left; x < right; ++x) row[x] |= 0xFF000000u;
    }
}

void DrawFpsLabel(HDC target, double rate) {
    const std::wstring text = FpsText(rate);
    if (!labelFont) labelFont = CreateLabelFont();
    if (!labelDC) labelDC = CreateCompatibleDC(g_app.process.screenDC);
    SelectObject(labelDC, labelFont);

    RECT box{0, 0, 0, 0};
    DrawTextW(labelDC, text.c_str(), -1, &box, DT_CALCRECT);
    const int32_t w = box.right - box.left;
    const int32_t h = box.bottom - box.top;
    if (!labelBitmap) CreateLabelBitmap(w, h);
    SelectObject(labelDC, labelBitmap);
    if (!labelBits) return;  // no bitmap: the label is left out, the picture is still shown
    std::memset(labelBits, 0, labelBitmapInfo.biSizeImage);

    SetBkMode(labelDC, TRANSPARENT);
    SetTextColor(labelDC, RGB(255, 255, 0));
    DrawTextW(labelDC, text.c_str(), -1, &box, 0);
    GdiFlush();  // the alpha pass writes the bitmap's memory directly
    MakeBoxOpaque(static_cast<uint32_t*>(labelBits), labelBitmapInfo.biWidth,
                  -labelBitmapInfo.biHeight, box);
    BitBlt(target, 0, 0, w, h, labelDC, 0, 0, SRCCOPY | CAPTUREBLT);
}
