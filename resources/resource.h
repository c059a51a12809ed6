// Resource and control ids of the player, shared by noctiva.rc and the code.
#pragma once

// resources
#define IDD_SETTINGS 129
#define IDI_NOCTIVA 130
#define IDS_WINDOW_TITLE 103
#define IDS_WINDOW_CLASS 109

// settings dialog controls; each id is also the id of the control's tooltip string
#define IDC_SHADOW_TRACKBAR 1001
#define IDC_BACKGROUND_TRACKBAR 1002
#define IDC_SHOW_FPS 1003
#define IDC_SHADOW_VALUE 1004
#define IDC_BACKGROUND_VALUE 1005
#define IDC_LIMIT_FPS 1006
#define IDC_EXIT_ON_KEY 1007
#define IDC_STACK_NORMAL 1013
#define IDC_STACK_TOP 1014
#define IDC_STACK_BOTTOM 1015
#define IDC_MODE_WHOLE_DESKTOP 1016
#define IDC_MODE_EACH_MONITOR 1017
#define IDC_MODE_CHOSEN_MONITOR 1018
#define IDC_MONITOR_COMBO 1020

// the messages that tell why the player ends (%1 the file, %2 the reason)
#define IDS_FAILURE_ARCHIVE 110
#define IDS_FAILURE_PLAYBACK 111
#define IDS_FAILURE_ARGUMENTS 112
