vowelscope_test(test_fzerochart SOURCES ${CMAKE_CURRENT_LIST_DIR}/FzerochartTest.cpp LIBS charts)
