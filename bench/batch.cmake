# Ten minutes of speech through vowelscope-analyze (formants, F0 and saving), timed beside the peer's
# "To Pitch (ac)" alone on the same file when praat is installed. A plain program: run it, it prints.
add_executable(bench_batch ${CMAKE_CURRENT_LIST_DIR}/BatchBench.cpp)
target_include_directories(bench_batch PRIVATE ${PROJECT_SOURCE_DIR}/tests/analysis)
add_dependencies(bench_batch vowelscope-analyze)
target_compile_definitions(bench_batch PRIVATE VOWELSCOPE_ANALYZE="$<TARGET_FILE:vowelscope-analyze>")
