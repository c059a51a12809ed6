// The manifest as built into the program, and what it does: common controls 6 are loaded.
#include <windows.h>
// The platform headers below need the types of <windows.h>.
#include <gtest/gtest.h>

#include <cwctype>
#include <string>

#include "resources/resource.h"

namespace {

std::string ManifestText() {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    if (!found) return {};
    HGLOBAL loaded = LoadResource(nullptr, found);
    const char* data = static_cast<const char*>(LockResource(loaded));
    return std::string(data, SizeofResource(nullptr, found));
}

TEST(Manifest, AsksForCommonControls6OfThisArchitectureAndNoUiAccess) {
    const std::string manifest = ManifestText();
    ASSERT_FALSE(manifest.empty());
    const std::string architecture = sizeof(void*) == 8 ? "amd64" : "x86";
    const char* expected[] = {
        "name=\"Microsoft.Windows.Common-Controls\"",
        "version=\"6.0.0.0\"",
        "level=\"asInvoker\"",
        "uiAccess=\"false\"",
    };
    for (const char* text : expected) {
        EXPECT_NE(manifest.find(text), std::string::npos) << text;
    }
    EXPECT_NE(manifest.find("processorArchitecture=\"" + architecture + "\""), std::string::npos)
        << "architecture " << architecture;
}

// Wine's version 6 reports 5.81 from DllGetVersion, so the test looks where the module came from:
// the side-by-side assembly of the common controls 6, as on Windows.
TEST(Manifest, LoadsCommonControls6) {
    HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
    ASSERT_NE(comctl, nullptr);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(comctl, path, MAX_PATH);
    std::string lower;
    for (const wchar_t* c = path; *c; ++c) {
        lower += static_cast<char>(*c < 128 ? towlower(*c) : '?');
    }
    EXPECT_NE(lower.find("microsoft.windows.common-controls_"), std::string::npos) << lower;
    EXPECT_NE(lower.find("_6.0."), std::string::npos) << lower;
}

TEST(Icon, HasA16And32PixelImage) {
    for (int size : {16, 32}) {
        SCOPED_TRACE("size " + std::to_string(size));
        HICON icon =
            static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_NOCTIVA),
                                          IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap{};
        GetObjectW(info.hbmMask, sizeof(bitmap), &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
        if (info.hbmColor) DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

// Dialog 129 as compiled for one language: its caption, its number of controls and its size.
struct DialogHead {
    bool found = false;
    std::wstring caption;
    int controls = 0, width = 0, height = 0;
};

DialogHead ReadDialog(WORD language) {
    DialogHead head;
    HRSRC found =
        FindResourceExW(nullptr, MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(IDD_SETTINGS), language);
    if (!found) return head;
    const auto* words = static_cast<const WORD*>(LockResource(LoadResource(nullptr, found)));
    // DLGTEMPLATEEX: version, signature, help id, extended style, style, then the count of
    // controls, x, y, cx, cy; no menu and no class (one zero word each), then the caption.
    head.found = words[0] == 1 && words[1] == 0xFFFF;
    head.controls = words[8];
    head.width = words[11];
    head.height = words[12];
    head.caption = reinterpret_cast<const wchar_t*>(words + 15);
    return head;
}

// The string with `id` as compiled for one language (string blocks hold 16 strings each).
std::wstring ReadString(UINT id, WORD language) {
    HRSRC found =
        FindResourceExW(nullptr, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1), language);
    if (!found) return L"?";
    const auto* text = static_cast<const WCHAR*>(LockResource(LoadResource(nullptr, found)));
    for (UINT n = 0; n < id % 16; ++n) text += *text + 1;
    return std::wstring(text + 1, *text);
}

// The loader picks by the thread's UI language between these two: the same dialog, captioned
// in each language, and every string in both.
TEST(Languages, DialogAndStringsInJapaneseAndInEnglish) {
    const WORD japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
    const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    const DialogHead ja = ReadDialog(japanese);
    const DialogHead en = ReadDialog(english);
    ASSERT_TRUE(ja.found && en.found);
    EXPECT_EQ(ja.caption, L"Tessarine PV Noctivaの設定");
    EXPECT_EQ(en.caption, L"Tessarine PV Noctiva Settings");
    EXPECT_EQ(en.controls, ja.controls);
    EXPECT_EQ(en.width, ja.width);
    EXPECT_EQ(en.height, ja.height);

    const UINT ids[] = {IDOK,
                        IDCANCEL,
                        IDS_WINDOW_TITLE,
                        IDS_WINDOW_CLASS,
                        IDS_FAILURE_ARCHIVE,
                        IDS_FAILURE_PLAYBACK,
                        IDS_FAILURE_ARGUMENTS,
                        IDC_SHADOW_TRACKBAR,
                        IDC_STACK_BOTTOM,
                        IDC_MONITOR_COMBO};
    for (UINT id : ids) {
        SCOPED_TRACE("string " + std::to_string(id));
        const std::wstring inJapanese = ReadString(id, japanese);
        const std::wstring inEnglish = ReadString(id, english);
        EXPECT_FALSE(inJapanese.empty() || inJapanese == L"?");
        EXPECT_FALSE(inEnglish.empty() || inEnglish == L"?");
        // The window's title and class are the same in every language; the rest is translated.
        const bool same = id == IDS_WINDOW_TITLE || id == IDS_WINDOW_CLASS;
        EXPECT_EQ(inJapanese == inEnglish, same);
    }
}

}  // namespace
