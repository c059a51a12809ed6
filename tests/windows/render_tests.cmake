# The Direct3D 9 renderer, the playback worker and the process exit, tested on a real device
# under Wine. One program; each ctest entry runs one group of its tests.
add_library(render_test_support STATIC
  ${CMAKE_CURRENT_LIST_DIR}/render_test_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/device_call_recorder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frame_patterns.cpp)
target_link_libraries(render_test_support PUBLIC noctiva_windows)
target_include_directories(render_test_support PUBLIC ${CMAKE_SOURCE_DIR})

add_executable(render_tests
  ${CMAKE_CURRENT_LIST_DIR}/render_test_main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/render_test_env.cpp
  ${CMAKE_CURRENT_LIST_DIR}/textured_quad_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frame_renderer_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frame_renderer_calls_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/process_exit_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/playback_worker_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/device_test.cpp
  # the player's strings, for the messages that tell a failure
  $<TARGET_OBJECTS:noctiva_resources>)
target_link_libraries(render_tests PRIVATE render_test_support gtest)

foreach(group IN ITEMS Direct3DDevice TexturedQuad FrameRenderer ProcessExit PlaybackWorker)
  add_test(NAME render_${group} COMMAND render_tests --gtest_filter=${group}*)
endforeach()

# The renderer's benchmark: not a test; scripts/bench-windows.sh builds and runs it.
add_executable(render_bench ${CMAKE_CURRENT_LIST_DIR}/render_bench.cpp)
target_link_libraries(render_bench PRIVATE render_test_support)
