# Extra rules for the archive and vektool tests.
set(archive_test_data ${CMAKE_SOURCE_DIR}/tests/data)
foreach(name archive_data_test)
  if(TARGET ${name})
    target_compile_definitions(${name} PRIVATE NOCTIVA_TEST_DATA="${archive_test_data}")
  endif()
endforeach()
foreach(name archive_pack_test vektool_media_test vektool_file_safety_test)
  if(TARGET ${name})
    target_link_libraries(${name} PRIVATE vektool_lib)
  endif()
endforeach()

# vektool's command line against archives and pictures written by Python's zlib.
find_package(Python3 COMPONENTS Interpreter REQUIRED)
add_test(NAME vektool_cli
         COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/vektool_cli_test.py
                 $<TARGET_FILE:vektool> ${archive_test_data} ${CMAKE_BINARY_DIR}/bin/vek.bin)
set_tests_properties(vektool_cli PROPERTIES TIMEOUT 300)

# vektool pack's peak memory must not grow with the clip's length: 10 s against 60 s, measured
# in one run by the measurement command (grey YUV4MPEG2 from ffmpeg, about 10 s).
find_program(FFMPEG ffmpeg)
if(FFMPEG AND NOT NOCTIVA_SANITIZE)  # ASan's quarantine grows with every allocation freed
  add_test(NAME vektool_pack_memory
           COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/scripts/measure_pack_memory.py
                   $<TARGET_FILE:vektool> --ci)
  set_tests_properties(vektool_pack_memory PROPERTIES TIMEOUT 120 LABELS measurement)
endif()
if(TARGET vektool_file_safety_test)
  target_include_directories(vektool_file_safety_test SYSTEM PRIVATE ${STB_INCLUDE_DIR})
endif()

# Packs and drops stopped at random moments (SIGKILL, SIGINT), twice each here; by hand
# scripts/break_packs.sh runs 20 each.
if(FFMPEG)
  add_test(NAME vektool_break_packs
           COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/break_packs.sh --count 2 $<TARGET_FILE:vektool>)
  set_tests_properties(vektool_break_packs PROPERTIES TIMEOUT 120 LABELS break)
endif()
