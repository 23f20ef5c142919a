vowelscope_fuzzer(fuzz_regions SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_regions.cpp LIBS config platform)
