# Extra rules for the Linux player's tests.

# The rules test reads the dialog texts that the build extracts from noctiva.rc.
if(TARGET player_rules_test)
  if(TARGET noctiva_dialog_texts)
    add_dependencies(player_rules_test noctiva_dialog_texts)
    target_include_directories(player_rules_test PRIVATE ${CMAKE_BINARY_DIR}/generated)
  else()
    set_target_properties(player_rules_test PROPERTIES EXCLUDE_FROM_ALL ON)
  endif()
endif()

# The extraction refuses an English dialog or string table that drifted from the Japanese one.
find_package(Python3 COMPONENTS Interpreter REQUIRED)
add_test(NAME extract_dialog_texts
         COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/extract_dialog_texts_test.py)

# End to end: the player in a virtual desktop with xcompmgr, no Wine. One at a time, since each
# starts an X server of its own.
if(TARGET noctiva)
  set(e2e ${PROJECT_SOURCE_DIR}/tests/e2e/linux_player_e2e.sh)
  set(vdesk ${PROJECT_SOURCE_DIR}/scripts/vdesk.sh)
  set(e2e_out ${CMAKE_BINARY_DIR}/e2e)
  foreach(scenario blend escape missing-archive bad-archive signals)
    add_test(NAME linux_player_e2e.${scenario}
             COMMAND ${vdesk} --no-wine -- ${e2e} ${scenario} ${CMAKE_BINARY_DIR}/bin ${e2e_out})
  endforeach()
  add_test(NAME linux_player_e2e.no-compositor
           COMMAND ${vdesk} --no-wine --no-compositor --
                   ${e2e} no-compositor ${CMAKE_BINARY_DIR}/bin ${e2e_out})
  add_test(NAME linux_player_e2e.two-displays
           COMMAND ${vdesk} --no-wine --two-monitors --
                   env NOCTIVA_SECOND_SCREEN=800x600 ${e2e} two-displays ${CMAKE_BINARY_DIR}/bin
                   ${e2e_out})
  # Real desktops: window managers, no compositing manager, no MIT-SHM, no 32-bit visual. Small
  # desktops where the size does not matter, as the screenshots are compared pixel by pixel. The
  # sanitizer build runs the two that go through the shape, the desktop watch and the pause.
  set(desktop_runs
      "openbox-still|--wm,openbox,--size,640x360"
      "two-players|--wm,openbox,--size,640x360"
      "shaped|--wm,openbox,--no-compositor,--size,640x360")
  if(NOT NOCTIVA_SANITIZE)
    list(APPEND desktop_runs
         "i3|--wm,i3"
         "plain-image|--no-shm,--size,640x360"
         "no-argb|--no-argb,--size,640x360")
  endif()
  foreach(run ${desktop_runs})
    string(REGEX REPLACE "[|,]" ";" run "${run}")
    list(POP_FRONT run scenario)
    add_test(NAME linux_player_e2e.${scenario}
             COMMAND ${vdesk} --no-wine ${run} -- ${e2e} ${scenario} ${CMAKE_BINARY_DIR}/bin
                     ${e2e_out})
  endforeach()
  get_property(e2e_tests DIRECTORY PROPERTY TESTS)
  list(FILTER e2e_tests INCLUDE REGEX "^linux_player_e2e\\.")
  set_tests_properties(${e2e_tests} PROPERTIES RUN_SERIAL ON TIMEOUT 120 LABELS "x11")
  if(NOCTIVA_SANITIZE)
    set_tests_properties(${e2e_tests} PROPERTIES ENVIRONMENT
                         "NOCTIVA_E2E_EXIT_LIMIT_MS=10000;NOCTIVA_E2E_SETTLE_SECONDS=2")
  endif()
endif()

# The Wayland overlay in a headless sway run by an unprivileged user (scripts/sway_session.sh),
# one session per scenario. Not in the sanitizer build: the X11 runs there cover the worker
# and the dialog, and these would double their time.
if(TARGET noctiva AND NOT NOCTIVA_SANITIZE)
  set(e2e ${PROJECT_SOURCE_DIR}/tests/e2e/wayland_player_e2e.sh)
  set(session ${PROJECT_SOURCE_DIR}/scripts/sway_session.sh)
  set(e2e_out ${CMAKE_BINARY_DIR}/e2e-wayland)
  set(wayland_runs "still|" "scale2|--scale,2,--size,2560x1440" "clicks|" "outputs|"
                   "output-removed|--nested" "fullscreen|" "x11|")
  foreach(run ${wayland_runs})
    string(REGEX REPLACE "[|,]" ";" run "${run}")
    list(POP_FRONT run scenario)
    add_test(NAME wayland_player_e2e.${scenario}
             COMMAND ${session} ${run} --writable ${e2e_out} -- ${e2e} ${scenario}
                     ${CMAKE_BINARY_DIR}/bin ${e2e_out})
    set_tests_properties(wayland_player_e2e.${scenario} PROPERTIES RUN_SERIAL ON TIMEOUT 90
                         LABELS "wayland")
  endforeach()
endif()

if(TARGET playback_worker_test)
  target_link_libraries(playback_worker_test PRIVATE noctiva_linux_worker)
endif()

if(TARGET wayland_overlay_test)
  target_link_libraries(wayland_overlay_test PRIVATE noctiva_linux_overlay_logic)
endif()
