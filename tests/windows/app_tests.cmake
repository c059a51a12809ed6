# Tests of the player's shell under Wine: settings dialog, monitors, overlay window, set-up,
# presentation loop and frame-rate label, and the end-to-end runs of noctiva.exe. They share
# one X display, so they run one at a time (scripts/test.sh runs ctest without -j).

function(noctiva_app_test name)
  add_executable(${name} ${ARGN} ${CMAKE_CURRENT_SOURCE_DIR}/app_test_main_win32.cpp
                 $<TARGET_OBJECTS:noctiva_resources>)
  target_link_libraries(${name} PRIVATE noctiva_windows gtest)
endfunction()

noctiva_app_test(settings_dialog_tests settings_dialog_test_win32.cpp
                 settings_tooltip_test_win32.cpp settings_text_fit_test_win32.cpp)
# The tooltip control is made once per process, by the first dialog: its test runs alone.
add_test(NAME settings_dialog_tooltips
         COMMAND settings_dialog_tests --gtest_filter=SettingsDialogTooltips.*)
add_test(NAME settings_dialog COMMAND settings_dialog_tests --gtest_filter=SettingsDialog.*)
add_test(NAME settings_dialog_text_fit
         COMMAND settings_dialog_tests --gtest_filter=SettingsDialogTextFit.*)
# With two monitors the combo box lists them: their names must fit it too.
add_test(NAME settings_dialog_text_fit_two_monitors
         COMMAND settings_dialog_tests --gtest_filter=SettingsDialogTextFit.*)
set_tests_properties(settings_dialog_text_fit_two_monitors PROPERTIES LABELS two-monitors)
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

noctiva_app_test(process_setup_tests process_setup_test_win32.cpp)
noctiva_app_test(system_paths_tests system_paths_test_win32.cpp)
add_test(NAME system_paths COMMAND system_paths_tests)
add_test(NAME process_setup COMMAND process_setup_tests)

noctiva_app_test(session_watch_tests session_watch_test_win32.cpp)
add_test(NAME session_watch COMMAND session_watch_tests)

noctiva_app_test(presentation_loop_tests presentation_loop_test_win32.cpp)
add_test(NAME presentation_loop COMMAND presentation_loop_tests)

# Measurement builds of the player: presentations, wall time and processor time printed at the
# end, with the blocking loop and with the polling one (scripts/measure_player.sh), and the
# worker's heap allocations and the device's resource creations per frame.
noctiva_add_player(noctiva_measure NOCTIVA_MEASURE)
noctiva_add_player(noctiva_measure_polling NOCTIVA_MEASURE NOCTIVA_POLLING_LOOP)
# Resource counts once a minute over long runs (scripts/soak.sh), with the minimal loop of the
# same platform calls as its baseline.
noctiva_add_player(noctiva_soak NOCTIVA_SOAK NOCTIVA_MEASURE)
# The measurement build whose picture surface fails once after a display change, as when a
# driver reset comes with it.
noctiva_add_player(noctiva_surface_fails NOCTIVA_MEASURE NOCTIVA_SURFACE_FAILS_ONCE)
target_sources(noctiva_surface_fails PRIVATE ${PROJECT_SOURCE_DIR}/windows/device_fault.cpp)
foreach(player noctiva_measure noctiva_measure_polling noctiva_soak noctiva_surface_fails)
  target_sources(${player} PRIVATE ${PROJECT_SOURCE_DIR}/windows/measure_counters.cpp)
  target_link_options(${player} PRIVATE -Wl,--wrap=malloc,--wrap=calloc,--wrap=realloc)
endforeach()
# The player that loses its first device once (Wine cannot remove one), for the recovery's
# end-to-end run.
noctiva_add_player(noctiva_device_removed NOCTIVA_DEVICE_REMOVED_ONCE)
target_sources(noctiva_device_removed PRIVATE ${PROJECT_SOURCE_DIR}/windows/device_fault.cpp)
# The player whose worker hangs in a device call, as in a hung driver.
noctiva_add_player(noctiva_device_hangs NOCTIVA_DEVICE_HANGS)
target_sources(noctiva_device_hangs PRIVATE ${PROJECT_SOURCE_DIR}/windows/device_fault.cpp)
# The other programs of a session (a full-screen window, the lock screen's notice) for the
# session's end-to-end runs.
add_executable(session_driver ${CMAKE_CURRENT_SOURCE_DIR}/session_driver_win32.cpp)
target_link_options(session_driver PRIVATE -municode)
add_executable(soak_baseline WIN32 ${CMAKE_CURRENT_SOURCE_DIR}/soak_baseline_win32.cpp)
target_link_libraries(soak_baseline PRIVATE noctiva_windows)
target_link_options(soak_baseline PRIVATE -municode)

# End-to-end runs of the real player in the virtual desktop; vek.bin and vektool come from the
# build (a host vektool when the build was given one).
foreach(scenario blend quit-button escape missing-archive bad-archive fps-label steady-frames)
  add_test(NAME e2e_${scenario}
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/player_e2e.sh ${scenario}
                   $<TARGET_FILE_DIR:noctiva> "${NOCTIVA_HOST_VEKTOOL}" ${CMAKE_BINARY_DIR}/e2e)
  set_tests_properties(e2e_${scenario} PROPERTIES LABELS e2e TIMEOUT 120)
endforeach()

# The player through a desktop session: stills, a full-screen window of another program, the
# lock screen, a lost device. One player start per scenario, several checks in each.
foreach(scenario still-one still-shared cover-lock device-removed device-hangs taskkill)
  add_test(NAME e2e_session_${scenario}
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/session_e2e.sh ${scenario}
                   $<TARGET_FILE_DIR:noctiva> "${NOCTIVA_HOST_VEKTOOL}" ${CMAKE_BINARY_DIR}/e2e)
  set_tests_properties(e2e_session_${scenario} PROPERTIES LABELS e2e TIMEOUT 120)
endforeach()

# A display change inside a Wine virtual desktop: needs an X screen of at least 1920x1080, so
# scripts/test.sh runs it in a desktop of that size (label display-change).
add_executable(display_change_driver ${CMAKE_CURRENT_SOURCE_DIR}/display_change_driver_win32.cpp)
target_link_options(display_change_driver PRIVATE -municode)
add_test(NAME e2e_display_change
         COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/display_change_e2e.sh
                 $<TARGET_FILE_DIR:noctiva> ${CMAKE_BINARY_DIR}/e2e)
set_tests_properties(e2e_display_change PROPERTIES LABELS "e2e;display-change" TIMEOUT 120)
add_test(NAME e2e_display_change_surface_failure
         COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/display_change_e2e.sh
                 $<TARGET_FILE_DIR:noctiva> ${CMAKE_BINARY_DIR}/e2e noctiva_surface_fails.exe)
set_tests_properties(e2e_display_change_surface_failure PROPERTIES
                     LABELS "e2e;display-change" TIMEOUT 120)

noctiva_app_test(resources_tests resources_test_win32.cpp)
add_test(NAME resources COMMAND resources_tests)

# The player at 144 dots per inch: the dialog's texts, its screenshots, the label's scale.
add_test(NAME e2e_dpi
         COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/dpi_e2e.sh $<TARGET_FILE_DIR:noctiva>
                 "${NOCTIVA_HOST_VEKTOOL}" ${CMAKE_BINARY_DIR}/e2e)
set_tests_properties(e2e_dpi PROPERTIES LABELS e2e TIMEOUT 180)

# The player's manifest (supported systems, DPI and long-path awareness), as Wine reads it.
add_test(NAME e2e_manifest
         COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/manifest_e2e.sh $<TARGET_FILE_DIR:noctiva>
                 ${CMAKE_BINARY_DIR}/e2e)
set_tests_properties(e2e_manifest PROPERTIES LABELS e2e TIMEOUT 60)
