vowelscope_test(test_portaudiowave SOURCES ${CMAKE_CURRENT_LIST_DIR}/PortaudiowaveTest.cpp LIBS platform)
