// Entry of the player's Windows test programs: the process state that the player's own set-up
// would give them (locale, common controls, module handle, screen device context).
#include <windows.h>
// The platform headers below need the types of <windows.h>.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <clocale>

#include "windows/app_state.h"

int main(int argc, char** argv) {
    setlocale(LC_ALL, "");
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    g_app.process.moduleHandle = GetModuleHandleW(nullptr);
    g_app.process.screenDC = GetDC(nullptr);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
