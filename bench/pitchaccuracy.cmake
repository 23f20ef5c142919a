# Pitch accuracy on synthetic voices from 70 to 500 Hz: the whole-lag search beside the analyzer, and the
# peer's autocorrelation pitch when praat is installed. A plain program: run it, it prints the tables.
add_executable(bench_pitchaccuracy ${CMAKE_CURRENT_LIST_DIR}/PitchaccuracyBench.cpp)
target_link_libraries(bench_pitchaccuracy PRIVATE analysis)
target_include_directories(bench_pitchaccuracy PRIVATE ${PROJECT_SOURCE_DIR}/tests/analysis)
