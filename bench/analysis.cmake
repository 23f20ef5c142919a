# Speed of the analyses: the F0 frame against the direct correlation formula, the F0 pass in multiples of
# real time, and the formant analysis of one 25 ms block. A plain program: run it, it prints the figures.
add_executable(bench_analysis ${CMAKE_CURRENT_LIST_DIR}/AnalysisBench.cpp)
target_link_libraries(bench_analysis PRIVATE analysis)
target_include_directories(bench_analysis PRIVATE ${PROJECT_SOURCE_DIR}/tests/analysis)
