// The settings dialog over its real template, driven by messages: a modeless dialog for the
// control states, the modal run (driven from a timer) for its results.
#include <windows.h>
// The platform headers below need the types of <windows.h>.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "windows/app_state.h"
#include "windows/settings_dialog.h"

namespace {

const wchar_t kDialogCaption[] = L"Tessarine PV Noctivaの設定";

struct PlatformMonitor {
    RECT rect;
    bool primary;
};

// The monitors as the platform enumerates them, read here independently of the player's code.
std::vector<PlatformMonitor> PlatformMonitors() {
    std::vector<PlatformMonitor> monitors;
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT, LPARAM data) -> BOOL {
            MONITORINFO info{};
            info.cbSize = sizeof(info);
            GetMonitorInfoW(monitor, &info);
            reinterpret_cast<std::vector<PlatformMonitor>*>(data)->push_back(
                {info.rcMonitor, (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

// The tests that depend on the monitor count run where ctest says how many there are; there they
// must find exactly that many rather than skip.
size_t ExpectedMonitorCount() {
    const char* value = std::getenv("NOCTIVA_EXPECT_MONITORS");
    return value ? static_cast<size_t>(std::atoi(value)) : 0;
}

class SettingsDialog : public ::testing::Test {
  protected:
    void SetUp() override { ResetState(); }
    void TearDown() override {
        if (dialog_) DestroyWindow(dialog_);
    }

    static void ResetState() {
        g_app.playback.settings = PlaybackSettings{};
        g_app.playback.displays.clear();
    }

    void Open() {
        dialog_ = CreateDialogParamW(g_app.process.moduleHandle, MAKEINTRESOURCEW(IDD_SETTINGS),
                                     nullptr, SettingsDialogProc, 0);
        ASSERT_NE(dialog_, nullptr) << "error " << GetLastError();
    }

    HWND Item(int id) const { return GetDlgItem(dialog_, id); }
    void Click(int id) { SendMessageW(Item(id), BM_CLICK, 0, 0); }
    bool Checked(int id) const { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
    std::wstring Text(int id) const {
        wchar_t text[256] = {};
        GetWindowTextW(Item(id), text, 256);
        return text;
    }
    LRESULT Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendMessageW(Item(id), message, wParam, lParam);
    }
    void Scroll(int trackbarId, WORD code, WORD position) {
        SendMessageW(dialog_, WM_HSCROLL, MAKEWPARAM(code, position),
                     reinterpret_cast<LPARAM>(Item(trackbarId)));
    }
    std::wstring ComboText(int position) {
        wchar_t text[64] = {};
        Send(IDC_MONITOR_COMBO, CB_GETLBTEXT, static_cast<WPARAM>(position),
             reinterpret_cast<LPARAM>(text));
        return text;
    }

    HWND dialog_ = nullptr;
};

std::string Narrow(const std::wstring& text) {
    std::string out(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr,
                                                            0, nullptr, nullptr)),
                    '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), static_cast<int>(out.size()),
                        nullptr, nullptr);
    out.pop_back();
    return out;
}

// ---- the template ----

struct TemplateControl {
    int id;
    const wchar_t* className;
    const wchar_t* caption;
    RECT dialogUnits;  // x, y, width, height
    DWORD styleMask;
    DWORD style;
};

TEST_F(SettingsDialog, TemplateHasTheControlsCaptionsAndPlaces) {
    Open();
    wchar_t caption[128] = {};
    GetWindowTextW(dialog_, caption, 128);
    EXPECT_EQ(std::wstring(caption), kDialogCaption);
    EXPECT_TRUE(GetWindowLongW(dialog_, GWL_EXSTYLE) & WS_EX_APPWINDOW);

    // Radio buttons are left out of the tab-stop check: the checked one of a group takes it.
    const DWORD kButtonType = BS_TYPEMASK;
    const TemplateControl controls[] = {
        {1001,
         L"msctls_trackbar32",
         L"",
         {117, 7, 220, 25},
         TBS_AUTOTICKS | TBS_VERT | WS_TABSTOP,
         TBS_AUTOTICKS | WS_TABSTOP},
        {1002,
         L"msctls_trackbar32",
         L"",
         {117, 41, 220, 25},
         TBS_AUTOTICKS | TBS_VERT | WS_TABSTOP,
         TBS_AUTOTICKS | WS_TABSTOP},
        {1003,
         L"Button",
         L"FPS表示(&F)",
         {7, 71, 53, 10},
         kButtonType | WS_TABSTOP,
         BS_AUTOCHECKBOX | WS_TABSTOP},
        {1006,
         L"Button",
         L"FPS調整をする",
         {65, 71, 68, 10},
         kButtonType | WS_TABSTOP,
         BS_AUTOCHECKBOX | WS_TABSTOP},
        {1016,
         L"Button",
         L"デスクトップ全体(&1)",
         {7, 87, 90, 10},
         kButtonType | WS_GROUP,
         BS_AUTORADIOBUTTON | WS_GROUP},
        {1017,
         L"Button",
         L"各モニター(&2)",
         {98, 87, 66, 10},
         kButtonType | WS_GROUP,
         BS_AUTORADIOBUTTON},
        {1018,
         L"Button",
         L"特定のモニター(&3)",
         {165, 87, 82, 10},
         kButtonType | WS_GROUP,
         BS_AUTORADIOBUTTON},
        {1007,
         L"Button",
         L"キー入力で終了する",
         {7, 117, 88, 10},
         kButtonType | WS_TABSTOP,
         BS_AUTOCHECKBOX | WS_TABSTOP},
        {1013,
         L"Button",
         L"通常表示",
         {7, 135, 68, 15},
         kButtonType | WS_GROUP,
         BS_AUTORADIOBUTTON | WS_GROUP},
        {1014,
         L"Button",
         L"最前面に居座る",
         {84, 135, 72, 15},
         kButtonType | WS_GROUP,
         BS_AUTORADIOBUTTON},
        {1015,
         L"Button",
         L"奥に居座る",
         {170, 134, 68, 15},
         kButtonType | WS_GROUP,
         BS_AUTORADIOBUTTON},
        {1,
         L"Button",
         L"実行",
         {102, 166, 50, 14},
         kButtonType | WS_TABSTOP,
         BS_DEFPUSHBUTTON | WS_TABSTOP},
        {2,
         L"Button",
         L"終了",
         {168, 166, 50, 14},
         kButtonType | WS_TABSTOP,
         BS_PUSHBUTTON | WS_TABSTOP},
        {1020, L"ComboBox", L"", {248, 86, 95, 0}, WS_TABSTOP, WS_TABSTOP},
        {1004, L"Static", L"100", {65, 11, 45, 15}, SS_TYPEMASK | WS_GROUP, SS_RIGHT | WS_GROUP},
        {1005, L"Static", L"0", {65, 45, 45, 15}, SS_TYPEMASK | WS_GROUP, SS_RIGHT | WS_GROUP},
    };
    for (const TemplateControl& c : controls) {
        SCOPED_TRACE("control " + std::to_string(c.id));
        HWND item = Item(c.id);
        ASSERT_NE(item, nullptr);
        wchar_t className[64] = {};
        GetClassNameW(item, className, 64);
        EXPECT_EQ(_wcsicmp(className, c.className), 0) << Narrow(className);
        EXPECT_EQ(Narrow(Text(c.id)), Narrow(c.caption));
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(item, GWL_STYLE)) & c.styleMask, c.style);

        // The dialog manager converts the position and the size separately.
        RECT place{c.dialogUnits.left, c.dialogUnits.top, c.dialogUnits.right,
                   c.dialogUnits.bottom};
        MapDialogRect(dialog_, &place);
        RECT actual;
        GetWindowRect(item, &actual);
        MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, place.left);
        EXPECT_EQ(actual.top, place.top);
        EXPECT_EQ(actual.right - actual.left, place.right);
        if (c.id != IDC_MONITOR_COMBO) {
            EXPECT_EQ(actual.bottom - actual.top, place.bottom);
        }
    }
    for (int label : {IDC_SHADOW_VALUE, IDC_BACKGROUND_VALUE}) {
        SCOPED_TRACE("label " + std::to_string(label));
        EXPECT_TRUE(GetWindowLongW(Item(label), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    }
    const DWORD comboStyle = static_cast<DWORD>(GetWindowLongW(Item(IDC_MONITOR_COMBO), GWL_STYLE));
    // The combo box hands WS_VSCROLL on to its list, so it is not seen here.
    EXPECT_EQ(comboStyle & (CBS_DROPDOWNLIST | CBS_SORT | WS_TABSTOP),
              static_cast<DWORD>(CBS_DROPDOWNLIST | WS_TABSTOP));
}

TEST_F(SettingsDialog, DialogAndWindowStringsAreInTheStringTable) {
    struct Case {
        UINT id;
        const wchar_t* text;
    };
    const Case cases[] = {{IDS_WINDOW_TITLE, L"Tessarine PV Noctiva"},
                          {IDS_WINDOW_CLASS, L"Noctiva"}};
    for (const Case& c : cases) {
        wchar_t text[100] = {};
        LoadStringW(g_app.process.moduleHandle, c.id, text, 100);
        EXPECT_EQ(std::wstring(text), c.text) << "string " << c.id;
    }
}

// ---- the opening state ----

struct OpeningCase {
    const char* name;
    PlaybackSettings settings;
    int shadowPosition;
    int backgroundPosition;
    int stackingButton;
    int modeButton;
};

TEST_F(SettingsDialog, OpensWithTheSettingsAsTheyStand) {
    PlaybackSettings defaults;
    PlaybackSettings changed;
    changed.shadowOpacity = 127;
    changed.backgroundOpacity = 255;
    changed.showFps = true;
    changed.limitFps = false;
    changed.exitOnKey = false;
    changed.keepAtBottom = true;
    changed.displayMode = WholeDesktop;
    PlaybackSettings both = defaults;
    both.keepOnTop = both.keepAtBottom = true;
    both.displayMode = ChosenMonitor;
    PlaybackSettings oddMode = defaults;
    oddMode.displayMode = 7;

    const OpeningCase cases[] = {
        {"defaults", defaults, 100, 0, IDC_STACK_NORMAL, IDC_MODE_EACH_MONITOR},
        {"changed", changed, 49, 100, IDC_STACK_BOTTOM, IDC_MODE_WHOLE_DESKTOP},
        {"both stacking flags", both, 100, 0, IDC_STACK_TOP, IDC_MODE_CHOSEN_MONITOR},
        {"unknown display mode", oddMode, 100, 0, IDC_STACK_NORMAL, IDC_MODE_EACH_MONITOR},
    };
    for (const OpeningCase& c : cases) {
        SCOPED_TRACE(c.name);
        ResetState();
        g_app.playback.settings = c.settings;
        Open();
        EXPECT_EQ(Send(IDC_SHADOW_TRACKBAR, TBM_GETPOS), c.shadowPosition);
        EXPECT_EQ(Send(IDC_BACKGROUND_TRACKBAR, TBM_GETPOS), c.backgroundPosition);
        EXPECT_EQ(Text(IDC_SHADOW_VALUE), std::to_wstring(c.shadowPosition));
        EXPECT_EQ(Text(IDC_BACKGROUND_VALUE), std::to_wstring(c.backgroundPosition));
        for (int trackbar : {IDC_SHADOW_TRACKBAR, IDC_BACKGROUND_TRACKBAR}) {
            EXPECT_EQ(Send(trackbar, TBM_GETRANGEMIN), 0);
            EXPECT_EQ(Send(trackbar, TBM_GETRANGEMAX), 100);
            EXPECT_EQ(Send(trackbar, TBM_GETPAGESIZE), 10);
        }
        EXPECT_EQ(Checked(IDC_SHOW_FPS), c.settings.showFps);
        EXPECT_EQ(Checked(IDC_LIMIT_FPS), c.settings.limitFps);
        EXPECT_EQ(Checked(IDC_EXIT_ON_KEY), c.settings.exitOnKey);
        for (int id = IDC_STACK_NORMAL; id <= IDC_STACK_BOTTOM; ++id) {
            EXPECT_EQ(Checked(id), id == c.stackingButton) << "stacking button " << id;
        }
        for (int id = IDC_MODE_WHOLE_DESKTOP; id <= IDC_MODE_CHOSEN_MONITOR; ++id) {
            EXPECT_EQ(Checked(id), id == c.modeButton) << "mode button " << id;
        }
        EXPECT_FALSE(Enabled(IDC_MONITOR_COMBO));
        DestroyWindow(dialog_);
        dialog_ = nullptr;
    }
}

// ---- monitors ----

TEST_F(SettingsDialog, OneMonitorDisablesTheDisplayModes) {
    const size_t expected = ExpectedMonitorCount();
    if (expected != 1) GTEST_SKIP() << "needs one monitor (NOCTIVA_EXPECT_MONITORS)";
    ASSERT_EQ(PlatformMonitors().size(), 1u);
    for (int32_t index : {0, 3}) {
        SCOPED_TRACE("monitorIndex " + std::to_string(index));
        ResetState();
        g_app.playback.settings.monitorIndex = index;
        Open();
        for (int id : {IDC_MODE_WHOLE_DESKTOP, IDC_MODE_EACH_MONITOR, IDC_MODE_CHOSEN_MONITOR,
                       IDC_MONITOR_COMBO}) {
            EXPECT_FALSE(Enabled(id)) << "control " << id;
        }
        EXPECT_TRUE(Checked(IDC_MODE_EACH_MONITOR));
        EXPECT_EQ(Send(IDC_MONITOR_COMBO, CB_GETCOUNT), 0);
        EXPECT_EQ(g_app.playback.settings.monitorIndex, index);
        EXPECT_EQ(g_app.playback.displays.size(), 1u);
        DestroyWindow(dialog_);
        dialog_ = nullptr;
    }
}

TEST_F(SettingsDialog, TwoMonitorsAreListedInEnumerationOrderWithThePrimaryChosen) {
    const size_t expected = ExpectedMonitorCount();
    if (expected < 2) GTEST_SKIP() << "needs two monitors (NOCTIVA_EXPECT_MONITORS)";
    const std::vector<PlatformMonitor> monitors = PlatformMonitors();
    ASSERT_EQ(monitors.size(), expected);
    int primary = 0;
    for (size_t i = 0; i < monitors.size(); ++i) {
        if (monitors[i].primary) primary = static_cast<int>(i);
    }
    Open();
    ASSERT_EQ(Send(IDC_MONITOR_COMBO, CB_GETCOUNT), static_cast<LRESULT>(monitors.size()));
    for (size_t i = 0; i < monitors.size(); ++i) {
        wchar_t label[64];
        swprintf(label, 64, L"DISPLAY %d%ls", static_cast<int>(i + 1),
                 monitors[i].primary ? L" (PRIMARY)" : L"");
        EXPECT_EQ(Narrow(ComboText(static_cast<int>(i))), Narrow(label)) << "entry " << i;
    }
    EXPECT_EQ(Send(IDC_MONITOR_COMBO, CB_GETCURSEL), primary);
    EXPECT_EQ(g_app.playback.settings.monitorIndex, primary);
    EXPECT_TRUE(Checked(IDC_MODE_EACH_MONITOR));
    EXPECT_FALSE(Enabled(IDC_MONITOR_COMBO));
    for (int id : {IDC_MODE_WHOLE_DESKTOP, IDC_MODE_EACH_MONITOR, IDC_MODE_CHOSEN_MONITOR}) {
        EXPECT_TRUE(Enabled(id)) << "control " << id;
    }
}

struct ModeSequence {
    std::vector<int> clicks;
    int32_t mode;
    bool comboEnabled;
};

TEST_F(SettingsDialog, DisplayModeSequencesSetTheModeAndTheComboBox) {
    const size_t expected = ExpectedMonitorCount();
    if (expected < 2) GTEST_SKIP() << "needs two monitors (NOCTIVA_EXPECT_MONITORS)";
    const ModeSequence sequences[] = {
        {{IDC_MODE_CHOSEN_MONITOR}, ChosenMonitor, true},
        {{IDC_MODE_CHOSEN_MONITOR, IDC_MODE_WHOLE_DESKTOP}, WholeDesktop, false},
        {{IDC_MODE_CHOSEN_MONITOR, IDC_MODE_EACH_MONITOR}, EachMonitor, false},
        {{IDC_MODE_WHOLE_DESKTOP}, WholeDesktop, false},
        {{IDC_MODE_WHOLE_DESKTOP, IDC_MODE_CHOSEN_MONITOR, IDC_MODE_CHOSEN_MONITOR},
         ChosenMonitor,
         true},
    };
    for (const ModeSequence& s : sequences) {
        std::string trace = "clicks:";
        for (int id : s.clicks) trace += std::to_string(id) + ";";
        SCOPED_TRACE(trace);
        ResetState();
        Open();
        const int32_t index = g_app.playback.settings.monitorIndex;
        for (int id : s.clicks) Click(id);
        EXPECT_EQ(g_app.playback.settings.displayMode, s.mode);
        EXPECT_EQ(Enabled(IDC_MONITOR_COMBO), s.comboEnabled);
        EXPECT_EQ(g_app.playback.settings.monitorIndex, index);
        DestroyWindow(dialog_);
        dialog_ = nullptr;
    }
}

TEST_F(SettingsDialog, OnlyAConfirmedComboSelectionChangesTheMonitorIndex) {
    if (ExpectedMonitorCount() < 2) GTEST_SKIP() << "needs two monitors (NOCTIVA_EXPECT_MONITORS)";
    struct Case {
        WORD notification;
        bool changes;
    };
    const Case cases[] = {{CBN_SELENDOK, true}, {CBN_SELCHANGE, false}, {CBN_SELENDCANCEL, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE("notification " + std::to_string(c.notification));
        ResetState();
        Open();
        Click(IDC_MODE_CHOSEN_MONITOR);
        const int32_t before = g_app.playback.settings.monitorIndex;
        const int other = before == 0 ? 1 : 0;
        Send(IDC_MONITOR_COMBO, CB_SETCURSEL, static_cast<WPARAM>(other));
        SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(IDC_MONITOR_COMBO, c.notification),
                     reinterpret_cast<LPARAM>(Item(IDC_MONITOR_COMBO)));
        EXPECT_EQ(g_app.playback.settings.monitorIndex, c.changes ? other : before);
        Click(IDC_MODE_EACH_MONITOR);
        EXPECT_EQ(g_app.playback.settings.monitorIndex, c.changes ? other : before);
        DestroyWindow(dialog_);
        dialog_ = nullptr;
    }
}

// ---- trackbars, check boxes, stacking ----

struct ScrollCase {
    int trackbar;
    WORD code;
    WORD position;    // carried in the message
    int setPosition;  // the trackbar's own position before the message, or -1
    const wchar_t* label;
    int shadow;
    int background;
};

TEST_F(SettingsDialog, TrackbarMovesShowThePositionAndStoreTheOpacity) {
    const ScrollCase cases[] = {
        {IDC_SHADOW_TRACKBAR, TB_THUMBTRACK, 37, -1, L"37", 94, 0},
        {IDC_SHADOW_TRACKBAR, TB_THUMBPOSITION, 99, -1, L"99", 252, 0},
        {IDC_SHADOW_TRACKBAR, TB_THUMBTRACK, 0, -1, L"0", 0, 0},
        {IDC_SHADOW_TRACKBAR, TB_ENDTRACK, 77, 10, L"10", 25, 0},
        {IDC_SHADOW_TRACKBAR, TB_PAGEDOWN, 0, 50, L"50", 127, 0},
        {IDC_BACKGROUND_TRACKBAR, TB_THUMBTRACK, 100, -1, L"100", 255, 255},
        {IDC_BACKGROUND_TRACKBAR, TB_LINEDOWN, 0, 1, L"1", 255, 2},
    };
    for (const ScrollCase& c : cases) {
        SCOPED_TRACE("trackbar " + std::to_string(c.trackbar) + " code " + std::to_string(c.code) +
                     " position " + std::to_string(c.position) + " set " +
                     std::to_string(c.setPosition));
        ResetState();
        Open();
        if (c.setPosition >= 0) Send(c.trackbar, TBM_SETPOS, TRUE, c.setPosition);
        Scroll(c.trackbar, c.code, c.position);
        const int label =
            c.trackbar == IDC_SHADOW_TRACKBAR ? IDC_SHADOW_VALUE : IDC_BACKGROUND_VALUE;
        const int other =
            c.trackbar == IDC_SHADOW_TRACKBAR ? IDC_BACKGROUND_VALUE : IDC_SHADOW_VALUE;
        EXPECT_EQ(Narrow(Text(label)), Narrow(c.label));
        EXPECT_EQ(Text(other), other == IDC_SHADOW_VALUE ? L"100" : L"0");
        EXPECT_EQ(g_app.playback.settings.shadowOpacity, c.shadow);
        EXPECT_EQ(g_app.playback.settings.backgroundOpacity, c.background);
        DestroyWindow(dialog_);
        dialog_ = nullptr;
    }
}

TEST_F(SettingsDialog, DraggingWithTheMouseFollowsEveryMovement) {
    Open();
    HWND trackbar = Item(IDC_SHADOW_TRACKBAR);
    RECT channel{};
    SendMessageW(trackbar, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    RECT thumb{};
    SendMessageW(trackbar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    const int y = (thumb.top + thumb.bottom) / 2;
    const int x = (thumb.left + thumb.right) / 2;
    SendMessageW(trackbar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    // Halfway along the channel: the position lies near 50 while the button is still down.
    const int half = (channel.left + channel.right) / 2;
    SendMessageW(trackbar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(half, y));
    const LRESULT dragged = Send(IDC_SHADOW_TRACKBAR, TBM_GETPOS);
    EXPECT_NEAR(static_cast<double>(dragged), 50.0, 3.0);
    EXPECT_EQ(Text(IDC_SHADOW_VALUE), std::to_wstring(dragged));
    EXPECT_EQ(g_app.playback.settings.shadowOpacity, dragged * 255 / 100);
    SendMessageW(trackbar, WM_LBUTTONUP, 0, MAKELPARAM(half, y));
}

TEST_F(SettingsDialog, CheckBoxesToggleTheirSettings) {
    struct Case {
        int id;
        bool PlaybackSettings::*field;
    };
    const Case cases[] = {{IDC_SHOW_FPS, &PlaybackSettings::showFps},
                          {IDC_LIMIT_FPS, &PlaybackSettings::limitFps},
                          {IDC_EXIT_ON_KEY, &PlaybackSettings::exitOnKey}};
    Open();
    for (const Case& c : cases) {
        SCOPED_TRACE("check box " + std::to_string(c.id));
        const bool initial = g_app.playback.settings.*c.field;
        Click(c.id);
        EXPECT_EQ(g_app.playback.settings.*c.field, !initial);
        EXPECT_EQ(Checked(c.id), !initial);
        Click(c.id);
        EXPECT_EQ(g_app.playback.settings.*c.field, initial);
    }
}

struct StackingSequence {
    std::vector<int> clicks;
    bool keepOnTop;
    bool keepAtBottom;
};

TEST_F(SettingsDialog, StackingSequencesLeaveOnlyTheLastChoice) {
    const StackingSequence sequences[] = {
        {{IDC_STACK_TOP}, true, false},
        {{IDC_STACK_TOP, IDC_STACK_NORMAL}, false, false},
        {{IDC_STACK_TOP, IDC_STACK_BOTTOM}, false, true},
        {{IDC_STACK_BOTTOM, IDC_STACK_TOP}, true, false},
        {{IDC_STACK_BOTTOM, IDC_STACK_NORMAL, IDC_STACK_NORMAL}, false, false},
    };
    for (const StackingSequence& s : sequences) {
        std::string trace = "clicks:";
        for (int id : s.clicks) trace += std::to_string(id) + ";";
        SCOPED_TRACE(trace);
        ResetState();
        Open();
        for (int id : s.clicks) Click(id);
        EXPECT_EQ(g_app.playback.settings.keepOnTop, s.keepOnTop);
        EXPECT_EQ(g_app.playback.settings.keepAtBottom, s.keepAtBottom);
        DestroyWindow(dialog_);
        dialog_ = nullptr;
    }
}

// ---- the modal run ----

enum class Action { PressEscape, PressEnter, CloseBox, ClickExit, ClickRun };

Action pendingAction;
bool actionDone;
int ticks;

// Acts once the dialog is up; ends a dialog that the action failed to end, so that a fault
// fails the test instead of hanging it.
void CALLBACK ActOnDialog(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = FindWindowW(L"#32770", kDialogCaption);
    if (!dialog) return;
    if (actionDone) {
        if (++ticks > 60) EndDialog(dialog, -99);
        return;
    }
    actionDone = true;
    HWND focus = GetDlgItem(dialog, IDC_SHADOW_TRACKBAR);
    switch (pendingAction) {
        case Action::PressEscape:
            PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0);
            break;
        case Action::PressEnter:
            PostMessageW(focus, WM_KEYDOWN, VK_RETURN, 0);
            break;
        case Action::CloseBox:
            PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        case Action::ClickExit:
            PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
            break;
        case Action::ClickRun:
            PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
            break;
    }
}

TEST_F(SettingsDialog, ModalRunEndsWithTheButtonsId) {
    struct Case {
        const char* name;
        Action action;
        int result;
    };
    const Case cases[] = {
        {"Esc", Action::PressEscape, 2}, {"close box", Action::CloseBox, 2},
        {"終了", Action::ClickExit, 2},  {"Enter", Action::PressEnter, 1},
        {"実行", Action::ClickRun, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetState();
        pendingAction = c.action;
        actionDone = false;
        ticks = 0;
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, ActOnDialog);
        EXPECT_EQ(RunSettingsDialog(), c.result);
        KillTimer(nullptr, timer);
        EXPECT_TRUE(actionDone);
        EXPECT_EQ(FindWindowW(L"#32770", kDialogCaption), nullptr);
    }
}

}  // namespace
