vowelscope_test(test_callback SOURCES ${CMAKE_CURRENT_LIST_DIR}/CallbackTest.cpp LIBS base)
