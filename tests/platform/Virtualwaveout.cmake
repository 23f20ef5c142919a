vowelscope_test(test_virtualwaveout SOURCES ${CMAKE_CURRENT_LIST_DIR}/VirtualwaveoutTest.cpp LIBS platform)
