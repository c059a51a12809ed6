// Every text of the settings dialog fits its control, at whatever scale the system runs
// (scripts/test.sh runs it at 96 dots per inch, tests/e2e/dpi_e2e.sh at 144) and in the
// language that LANG chooses.
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

std::string Narrow(const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
    out.pop_back();
    return out;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), int(text.size()))));
    return text;
}

struct Fit {
    SIZE needed{0, 0};
    SIZE has{0, 0};
};

// A button (push, check box, radio) asks for its own ideal size: glyph, gap and text.
Fit ButtonFit(HWND button) {
    Fit fit;
    SendMessageW(button, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&fit.needed));
    RECT rect{};
    GetWindowRect(button, &rect);
    fit.has = SIZE{rect.right - rect.left, rect.bottom - rect.top};
    return fit;
}

// A static text wraps within its width: the lines it needs must fit its height.
Fit StaticFit(HWND label) {
    Fit fit;
    RECT client{};
    GetClientRect(label, &client);
    fit.has = SIZE{client.right, client.bottom};
    HDC dc = GetDC(label);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    RECT box{0, 0, client.right, 0};
    const std::wstring text = TextOf(label);
    DrawTextW(dc, text.c_str(), -1, &box, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    fit.needed = SIZE{box.right, box.bottom};
    return fit;
}

// A drop-down list shows its choice beside the arrow button, as wide as a scroll bar.
Fit ComboFit(HWND combo, const std::wstring& item) {
    Fit fit;
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    GetComboBoxInfo(combo, &info);
    fit.has = SIZE{info.rcItem.right - info.rcItem.left, info.rcItem.bottom - info.rcItem.top};
    HDC dc = GetDC(combo);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(combo, WM_GETFONT, 0, 0)));
    GetTextExtentPoint32W(dc, item.c_str(), int(item.size()), &fit.needed);
    SelectObject(dc, old);
    ReleaseDC(combo, dc);
    return fit;
}

TEST(SettingsDialogTextFit, EveryTextFitsItsControl) {
    g_app.playback.settings = PlaybackSettings{};
    HWND dialog = CreateDialogParamW(g_app.process.moduleHandle, MAKEINTRESOURCEW(IDD_SETTINGS),
                                     nullptr, SettingsDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    HDC screen = GetDC(nullptr);
    std::printf("dots per inch: %d\n", GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    int checked = 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring text = TextOf(child);
        const std::wstring name = ClassOf(child);
        // The trackbars have no text; the combo box's choices are measured below.
        if (text.empty() || lstrcmpiW(name.c_str(), L"ComboBox") == 0) continue;
        const bool button = lstrcmpiW(name.c_str(), L"Button") == 0;
        const Fit fit = button ? ButtonFit(child) : StaticFit(child);
        std::printf("  %-24s needs %3ldx%-3ld has %3ldx%ld\n", Narrow(text).c_str(), fit.needed.cx,
                    fit.needed.cy, fit.has.cx, fit.has.cy);
        EXPECT_LE(fit.needed.cx, fit.has.cx) << Narrow(text) << " is cut on the right";
        EXPECT_LE(fit.needed.cy, fit.has.cy) << Narrow(text) << " is cut below";
        ++checked;
    }
    EXPECT_GE(checked, 12) << "the dialog's texts were not found";
    // The monitors' names, where there are two or more to choose from.
    HWND combo = GetDlgItem(dialog, IDC_MONITOR_COMBO);
    const LRESULT items = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < items; ++i) {
        std::wstring item(static_cast<size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0)), L'\0');
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
        const Fit fit = ComboFit(combo, item);
        std::printf("  %-24s needs %3ldx%-3ld has %3ldx%ld\n", Narrow(item).c_str(), fit.needed.cx,
                    fit.needed.cy, fit.has.cx, fit.has.cy);
        EXPECT_LE(fit.needed.cx, fit.has.cx) << Narrow(item) << " is cut on the right";
    }
    DestroyWindow(dialog);
}

}  // namespace
