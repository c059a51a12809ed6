# vektool.exe without ffmpeg: videos through Media Foundation and files dropped onto it, under
# Wine (GStreamer decodes), against the native vektool's pack of the same clip.
if(NOCTIVA_HOST_VEKTOOL)
  find_package(Python3 COMPONENTS Interpreter REQUIRED)
  add_test(NAME vektool_video_win
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/windows/vektool_video_test.py
                   $<TARGET_FILE:vektool> ${NOCTIVA_HOST_VEKTOOL})
  set_tests_properties(vektool_video_win PROPERTIES TIMEOUT 180
                       ENVIRONMENT "NOCTIVA_VEKTOOL_RUNNER=${CMAKE_CROSSCOMPILING_EMULATOR}")
endif()

# The portable parts, built for Windows: paths with backslashes, the C runtime's rename.
add_executable(vektool_video_drop_test_win ${CMAKE_SOURCE_DIR}/tests/native/vektool_video_drop_test.cpp)
target_include_directories(vektool_video_drop_test_win PRIVATE ${CMAKE_SOURCE_DIR}/tests/native)
target_link_libraries(vektool_video_drop_test_win PRIVATE vektool_lib noctiva_core gtest gtest_main)
add_test(NAME vektool_video_drop_test_win COMMAND vektool_video_drop_test_win)
set_tests_properties(vektool_video_drop_test_win PROPERTIES TIMEOUT 120)

# Leftovers, the previous archive, folders and picture kinds with Windows' wide calls.
add_executable(vektool_file_safety_test_win
               ${CMAKE_SOURCE_DIR}/tests/native/vektool_file_safety_test.cpp)
target_include_directories(vektool_file_safety_test_win SYSTEM PRIVATE ${STB_INCLUDE_DIR})
target_link_libraries(vektool_file_safety_test_win PRIVATE vektool_lib noctiva_core gtest
                      gtest_main)
add_test(NAME vektool_file_safety_test_win COMMAND vektool_file_safety_test_win)
set_tests_properties(vektool_file_safety_test_win PROPERTIES TIMEOUT 120)

# The drop onto vektool.exe stopped at random moments (taskkill /F, Ctrl+C), twice each here.
if(NOCTIVA_HOST_VEKTOOL)
  add_test(NAME vektool_break_drop_win
           COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/break_packs.sh --count 2
                   --wine $<TARGET_FILE:vektool> ${NOCTIVA_HOST_VEKTOOL})
  set_tests_properties(vektool_break_drop_win PROPERTIES TIMEOUT 240 LABELS break)
endif()

# Names beyond any code page, a stand-in ffmpeg.exe that records its arguments, and a Windows
# without Media Foundation.
add_executable(ffmpeg_standin ${CMAKE_SOURCE_DIR}/tests/windows/ffmpeg_standin.cpp)
target_link_options(ffmpeg_standin PRIVATE -municode)
target_link_libraries(ffmpeg_standin PRIVATE shell32)
if(NOCTIVA_HOST_VEKTOOL)
  add_test(NAME vektool_names_win
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/windows/vektool_names_test.py
                   $<TARGET_FILE:vektool> $<TARGET_FILE:ffmpeg_standin> ${NOCTIVA_HOST_VEKTOOL})
  set_tests_properties(vektool_names_win PROPERTIES TIMEOUT 240
                       ENVIRONMENT "NOCTIVA_VEKTOOL_RUNNER=${CMAKE_CROSSCOMPILING_EMULATOR}")
endif()
