vowelscope_test(test_windowfunction SOURCES ${CMAKE_CURRENT_LIST_DIR}/WindowfunctionTest.cpp LIBS analysis)
