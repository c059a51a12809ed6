// The dialog's tooltips. Runs in a process of its own (see app_tests.cmake): the tooltip
// control is made once per process, by the first dialog.
#include <windows.h>
// The platform headers below need the types of <windows.h>.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource.h"
#include "windows/app_state.h"
#include "windows/settings_dialog.h"

namespace {

struct ExpectedTip {
    int id;
    const wchar_t* text;
};

const ExpectedTip kTips[] = {
    {1, L"影絵表示を開始します。"},
    {2, L"アプリケーションを終了します。"},
    {1001,
     L"影絵（黒い部分）の不透明度を指定します。\r\n"
     L"0に近いほど透明になり255に近いほど不透明になります。"},
    {1002,
     L"背景（白い部分）の不透明度を指定します。\r\n"
     L"0に近いほど透明になり255に近いほど不透明になります。"},
    {1003, L"左上隅におおよそのFPSを表示します。"},
    {1006, L"影絵が最大でも30FPSを超えないように調整します。"},
    {1016, L"マルチモニター専用。\r\n全てのモニターをつなげた領域に影絵を１枚表示します。"},
    {1017, L"マルチモニター専用。\r\n各モニターに影絵を表示します。"},
    {1018, L"マルチモニター専用。\r\n指定されたモニターだけに影絵を表示します。"},
    {1020, L"マルチモニター専用。\r\n表示するモニターを指定します。"},
    {1013, L"普通の最前面ウィンドウとして表示します。"},
    {1014, L"他のウィンドウよりも出しゃばります。\r\n映像を重ねて遊びたい人向け。"},
    {1015,
     L"他のウィンドウよりも奥に引っ込みます。\r\n"
     L"他の作業をしながらも影絵を鑑賞したい物好き向け。"},
};

std::string Utf8(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

HWND FindTooltipOf(HWND dialog) {
    struct Search {
        HWND dialog;
        HWND found;
    } search{dialog, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            wchar_t className[64] = {};
            GetClassNameW(window, className, 64);
            if (_wcsicmp(className, TOOLTIPS_CLASSW) == 0 &&
                GetWindow(window, GW_OWNER) == s->dialog) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST(SettingsDialogTooltips, EveryControlHasItsTextInOrder) {
    HWND dialog = CreateDialogParamW(g_app.process.moduleHandle, MAKEINTRESOURCEW(IDD_SETTINGS),
                                     nullptr, SettingsDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    HWND tooltip = FindTooltipOf(dialog);
    ASSERT_NE(tooltip, nullptr);
    const DWORD style = static_cast<DWORD>(GetWindowLongW(tooltip, GWL_STYLE));
    EXPECT_EQ(style & (TTS_ALWAYSTIP | TTS_NOPREFIX | TTS_BALLOON),
              static_cast<DWORD>(TTS_ALWAYSTIP | TTS_NOPREFIX | TTS_BALLOON));
    EXPECT_EQ(SendMessageW(tooltip, TTM_GETMAXTIPWIDTH, 0, 0), 512);
    EXPECT_EQ(SendMessageW(tooltip, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0), 32767);
    EXPECT_EQ(SendMessageW(tooltip, TTM_GETDELAYTIME, TTDT_INITIAL, 0), 0);

    const auto count = static_cast<size_t>(SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0));
    ASSERT_EQ(count, std::size(kTips));
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE("tool " + std::to_string(i) + ", control " + std::to_string(kTips[i].id));
        wchar_t text[512] = {};
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.lpszText = text;
        ASSERT_TRUE(SendMessageW(tooltip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&tool)));
        EXPECT_EQ(tool.uId, static_cast<UINT_PTR>(kTips[i].id));
        EXPECT_EQ(tool.hwnd, GetDlgItem(dialog, kTips[i].id));
        EXPECT_EQ(tool.uFlags & (TTF_SUBCLASS | TTF_CENTERTIP),
                  static_cast<UINT>(TTF_SUBCLASS | TTF_CENTERTIP));
        RECT client{};
        GetClientRect(tool.hwnd, &client);
        EXPECT_TRUE(EqualRect(&tool.rect, &client));

        // The tool names its text by the control's string id; the string table holds it.
        wchar_t loaded[512] = {};
        LoadStringW(g_app.process.moduleHandle, static_cast<UINT>(kTips[i].id), loaded, 512);
        EXPECT_EQ(Utf8(loaded), Utf8(kTips[i].text));
    }
    DestroyWindow(dialog);
}

}  // namespace
