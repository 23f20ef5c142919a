vowelscope_test(test_virtualwavein SOURCES ${CMAKE_CURRENT_LIST_DIR}/VirtualwaveinTest.cpp LIBS platform)
