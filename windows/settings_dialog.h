// The modal settings dialog that opens at every start and fills g_app.playback.settings.
#pragma once

#include <windows.h>

// Shows dialog 129 modally; 1 after "実行", 2 after "終了" (also Esc and the close box), -1 when
// the dialog cannot be shown.
int RunSettingsDialog();

// The dialog's procedure; every control change is written into g_app.playback.settings at once.
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
