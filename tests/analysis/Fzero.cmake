vowelscope_test(test_fzero SOURCES ${CMAKE_CURRENT_LIST_DIR}/FzeroTest.cpp LIBS analysis)
# The same tests over the analyzer built without its AVX2 path, which processors without AVX2 take.
vowelscope_test(test_fzero_portable SOURCES ${CMAKE_CURRENT_LIST_DIR}/FzeroTest.cpp
                ${PROJECT_SOURCE_DIR}/src/analysis/Lagcorrelation.cpp LIBS analysis)
target_compile_definitions(test_fzero_portable PRIVATE VOWELSCOPE_PORTABLE_ONLY)
# The reference formula in the test, like the analyzer, must not fuse multiplies and adds.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/FzeroTest.cpp ${PROJECT_SOURCE_DIR}/src/analysis/Lagcorrelation.cpp
                            PROPERTIES COMPILE_OPTIONS -ffp-contract=off)
