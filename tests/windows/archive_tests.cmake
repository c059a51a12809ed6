# The archive reader's tests and vektool's command-line test, run under Wine.
foreach(name archive_unpacker_test archive_frame_failure_test archive_inflate_test archive_data_test
             archive_pack_test)
  add_executable(${name}_win ${CMAKE_SOURCE_DIR}/tests/native/${name}.cpp)
  target_include_directories(${name}_win PRIVATE ${CMAKE_SOURCE_DIR}/tests/native)
  target_compile_definitions(${name}_win PRIVATE NOCTIVA_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data")
  target_link_libraries(${name}_win PRIVATE vektool_lib noctiva_core gtest gtest_main)
  add_test(NAME ${name}_win COMMAND ${name}_win)
  set_tests_properties(${name}_win PROPERTIES TIMEOUT 300)
endforeach()

# Python by its path: ctest would put the emulator before the imported target too, and Wine
# then loses the exit status. The script runs vektool.exe through the emulator itself.
find_package(Python3 COMPONENTS Interpreter REQUIRED)
add_test(NAME vektool_cli_win
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/native/vektool_cli_test.py
                 $<TARGET_FILE:vektool> ${CMAKE_SOURCE_DIR}/tests/data ${CMAKE_BINARY_DIR}/bin/vek.bin)
set_tests_properties(vektool_cli_win PROPERTIES TIMEOUT 600
                     ENVIRONMENT "NOCTIVA_VEKTOOL_RUNNER=${CMAKE_CROSSCOMPILING_EMULATOR}")
