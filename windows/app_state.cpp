#include "windows/app_state.h"

AppState g_app;
