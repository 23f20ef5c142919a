vowelscope_test(test_portaudiowave SOURCES ${CMAKE_CURRENT_LIST_DIR}/PortaudiowaveTest.cpp LIBS platform
                RESOURCE_LOCK sound_server)
