# The portable core's tests under Wine: the same sources as natively, built with the Windows
# toolchain, so that its frame clock and its code paths are checked there too.
foreach(name settings_test monitor_list_test frame_clock_test placement_test compose_test
             software_renderer_test player_failure_test device_recovery_test)
  add_executable(${name}_win ${CMAKE_SOURCE_DIR}/tests/native/${name}.cpp)
  target_link_libraries(${name}_win PRIVATE noctiva_core gtest gtest_main)
  add_test(NAME ${name}_win COMMAND ${name}_win)
  set_tests_properties(${name}_win PROPERTIES TIMEOUT 300)
endforeach()
