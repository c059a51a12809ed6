# Extra rules for the portable core's tests: the benchmark program, which is run by
# scripts/bench.sh and not by ctest.
find_package(benchmark QUIET)
if(benchmark_FOUND AND EXISTS ${CMAKE_CURRENT_LIST_DIR}/bench/core_bench.cpp)
  add_executable(core_bench ${CMAKE_CURRENT_LIST_DIR}/bench/core_bench.cpp)
  target_link_libraries(core_bench PRIVATE noctiva_core benchmark::benchmark)
endif()
