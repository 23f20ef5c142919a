# The longest recording (120 minutes) through the Engine on a virtual input at full speed: no block lost,
# peak memory against the sound's size, time of the F0 pass. A plain program, not a test: it runs for
# minutes. Run it, it prints the figures and exits with 1 when a check fails.
add_executable(bench_soak ${CMAKE_CURRENT_LIST_DIR}/SoakBench.cpp)
target_link_libraries(bench_soak PRIVATE engine)
target_include_directories(bench_soak PRIVATE ${PROJECT_SOURCE_DIR}/tests/analysis)
