# Formant accuracy on synthetic vowels of men, women and children: truth, the fixed order 16 and the automatic
# analysis side by side, and the jumps of a vowel glide. A plain program: run it, it prints the tables.
add_executable(bench_formantaccuracy ${CMAKE_CURRENT_LIST_DIR}/FormantaccuracyBench.cpp)
target_link_libraries(bench_formantaccuracy PRIVATE analysis)
target_include_directories(bench_formantaccuracy PRIVATE ${PROJECT_SOURCE_DIR}/tests/analysis)
