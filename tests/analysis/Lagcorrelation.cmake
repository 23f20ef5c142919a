vowelscope_test(test_lagcorrelation SOURCES ${CMAKE_CURRENT_LIST_DIR}/LagcorrelationTest.cpp LIBS analysis)
# The same test over the curve built without its AVX2 path, which processors without AVX2 take.
vowelscope_test(test_lagcorrelation_portable SOURCES ${CMAKE_CURRENT_LIST_DIR}/LagcorrelationTest.cpp
                ${PROJECT_SOURCE_DIR}/src/analysis/Lagcorrelation.cpp LIBS analysis)
target_compile_definitions(test_lagcorrelation_portable PRIVATE VOWELSCOPE_PORTABLE_ONLY)
# The reference formula in the test, like the curve, must not fuse multiplies and adds.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/LagcorrelationTest.cpp PROPERTIES COMPILE_OPTIONS -ffp-contract=off)
