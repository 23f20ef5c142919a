vowelscope_test(test_audiodeviceloop SOURCES ${CMAKE_CURRENT_LIST_DIR}/AudiodeviceloopTest.cpp LIBS audio sound platform
                RESOURCE_LOCK sound_server)
