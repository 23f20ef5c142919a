vowelscope_fuzzer(fuzz_paths SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_paths.cpp LIBS base)
