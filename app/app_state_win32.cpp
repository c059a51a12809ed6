#include "app/app_state_win32.h"

AppState g_app;
