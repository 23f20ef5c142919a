vowelscope_test(test_fzero SOURCES ${CMAKE_CURRENT_LIST_DIR}/FzeroTest.cpp LIBS analysis)
