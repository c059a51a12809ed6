#include "windows/fps_label.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "windows/app_state.h"

namespace {

// Process-wide label state, created at first use and made again when the window's scale
// changes; left to the system at exit.
HFONT labelFont = nullptr;
HDC labelDC = nullptr;
BITMAPINFOHEADER labelBitmapInfo{};
HBITMAP labelBitmap = nullptr;
void* labelBits = nullptr;
UINT labelDpi = 0;
HGDIOBJ labelDCFirstBitmap = nullptr;  // the memory DC's own, put back before a bitmap goes

// The height of the system's default font size (lfHeight 0) at 96 dots per inch, in pixels.
constexpr int kLabelCellHeightAt96 = 16;

HFONT CreateLabelFont(UINT dpi) {
    LOGFONTW font{};
    font.lfHeight = MulDiv(kLabelCellHeightAt96, static_cast<int>(dpi), 96);
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

// The font and bitmap made for another scale go; the next label makes them anew.
void ForgetLabelObjects() {
    if (labelDC) SelectObject(labelDC, GetStockObject(SYSTEM_FONT));
    if (labelFont) DeleteObject(labelFont);
    labelFont = nullptr;
    if (labelBitmap) {
        if (labelDC && labelDCFirstBitmap) SelectObject(labelDC, labelDCFirstBitmap);
        DeleteObject(labelBitmap);
    }
    labelBitmap = nullptr;
    labelBits = nullptr;
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

UINT LabelDpi(HWND window) {
    // GetDpiForWindow exists from Windows 10 1607 on; before it the screen's dots per inch,
    // which the program's awareness makes the real ones.
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    UINT dpi = 0;
    if (dpiForWindow && window) dpi = dpiForWindow(window);
    if (dpi == 0 && g_app.process.screenDC) {
        dpi = static_cast<UINT>(GetDeviceCaps(g_app.process.screenDC, LOGPIXELSY));
    }
    return dpi != 0 ? dpi : 96;
}

void DrawFpsLabel(HDC target, double rate) {
    const std::wstring text = FpsText(rate);
    const UINT dpi = LabelDpi(g_app.playback.window);
    if (!labelDC) labelDC = CreateCompatibleDC(g_app.process.screenDC);
    if (dpi != labelDpi) ForgetLabelObjects();
    labelDpi = dpi;
    if (!labelFont) labelFont = CreateLabelFont(dpi);
    SelectObject(labelDC, labelFont);

    RECT box{0, 0, 0, 0};
    DrawTextW(labelDC, text.c_str(), -1, &box, DT_CALCRECT);
    const int32_t w = box.right - box.left;
    const int32_t h = box.bottom - box.top;
    if (!labelBitmap) CreateLabelBitmap(w, h);
    const HGDIOBJ previous = SelectObject(labelDC, labelBitmap);
    if (!labelDCFirstBitmap) labelDCFirstBitmap = previous;
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
