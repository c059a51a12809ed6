# Tests of the player's shell under Wine: settings dialog, monitors, overlay window, set-up,
# presentation loop and frame-rate label, and the end-to-end runs of noctiva.exe. They share
# one X display, so they run one at a time (scripts/test.sh runs ctest without -j).

function(noctiva_app_test name)
  add_executable(${name} ${ARGN} ${CMAKE_CURRENT_SOURCE_DIR}/app_test_main_win32.cpp
                 $<TARGET_OBJECTS:noctiva_resources>)
  target_link_libraries(${name} PRIVATE noctiva_core gtest)
endfunction()

noctiva_app_test(settings_dialog_tests settings_dialog_test_win32.cpp
                 settings_tooltip_test_win32.cpp)
# The tooltip control is made once per process, by the first dialog: its test runs alone.
add_test(NAME settings_dialog_tooltips
         COMMAND settings_dialog_tests --gtest_filter=SettingsDialogTooltips.*)
add_test(NAME settings_dialog COMMAND settings_dialog_tests --gtest_filter=SettingsDialog.*)
set_tests_properties(settings_dialog PROPERTIES ENVIRONMENT NOCTIVA_EXPECT_MONITORS=1)
add_test(NAME settings_dialog_two_monitors
         COMMAND settings_dialog_tests
                 --gtest_filter=SettingsDialog.TwoMonitors*:SettingsDialog.DisplayMode*:SettingsDialog.OnlyAConfirmed*)
set_tests_properties(settings_dialog_two_monitors PROPERTIES
                     ENVIRONMENT NOCTIVA_EXPECT_MONITORS=2 LABELS two-monitors)

noctiva_app_test(overlay_window_tests overlay_window_test_win32.cpp)
add_test(NAME overlay_window COMMAND overlay_window_tests)

noctiva_app_test(monitor_list_tests monitor_list_test_win32.cpp)
add_test(NAME monitor_list COMMAND monitor_list_tests)
add_test(NAME monitor_list_two_monitors COMMAND monitor_list_tests)
set_tests_properties(monitor_list_two_monitors PROPERTIES LABELS two-monitors)

noctiva_app_test(fps_label_tests fps_label_test_win32.cpp)
add_test(NAME fps_label COMMAND fps_label_tests)

# Set-up and presentation stand on the process-exit rules of the renderer's side.
if(EXISTS ${PROJECT_SOURCE_DIR}/app/process_exit_win32.h AND
   EXISTS ${PROJECT_SOURCE_DIR}/app/process_setup_win32.cpp)
  noctiva_app_test(process_setup_tests process_setup_test_win32.cpp)
  add_test(NAME process_setup COMMAND process_setup_tests)

  noctiva_app_test(presentation_loop_tests presentation_loop_test_win32.cpp)
  add_test(NAME presentation_loop COMMAND presentation_loop_tests)
endif()
