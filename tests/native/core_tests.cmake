# Extra rules for the portable core's tests.

# vektool render is tested in-process, against the tool's own library.
if(TARGET render_command_test)
  target_link_libraries(render_command_test PRIVATE vektool_lib)
  target_include_directories(render_command_test SYSTEM PRIVATE ${STB_INCLUDE_DIR})
endif()

# The benchmark program: run by scripts/bench.sh, not by ctest.
find_package(benchmark QUIET)
if(benchmark_FOUND AND EXISTS ${CMAKE_CURRENT_LIST_DIR}/bench/core_bench.cpp)
  add_executable(core_bench ${CMAKE_CURRENT_LIST_DIR}/bench/core_bench.cpp)
  target_link_libraries(core_bench PRIVATE noctiva_core vektool_lib benchmark::benchmark)
endif()
