vowelscope_test(test_lpc SOURCES ${CMAKE_CURRENT_LIST_DIR}/LpcTest.cpp LIBS analysis)
