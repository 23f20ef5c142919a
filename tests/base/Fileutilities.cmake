vowelscope_test(test_fileutilities SOURCES ${CMAKE_CURRENT_LIST_DIR}/FileutilitiesTest.cpp LIBS base)
