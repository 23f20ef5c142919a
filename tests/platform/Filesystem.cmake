vowelscope_test(test_filesystem SOURCES ${CMAKE_CURRENT_LIST_DIR}/FilesystemTest.cpp LIBS platform)
