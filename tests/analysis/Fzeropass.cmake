vowelscope_test(test_fzeropass SOURCES ${CMAKE_CURRENT_LIST_DIR}/FzeropassTest.cpp LIBS analysis)
