vowelscope_test(test_rifffile SOURCES ${CMAKE_CURRENT_LIST_DIR}/RifffileTest.cpp LIBS platform)
