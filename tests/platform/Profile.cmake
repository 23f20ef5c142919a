vowelscope_test(test_profile SOURCES ${CMAKE_CURRENT_LIST_DIR}/ProfileTest.cpp LIBS platform)
