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

}  // namespace
