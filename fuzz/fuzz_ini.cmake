vowelscope_fuzzer(fuzz_ini SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_ini.cpp LIBS config platform)
