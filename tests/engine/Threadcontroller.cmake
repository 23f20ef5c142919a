vowelscope_test(test_threadcontroller SOURCES ${CMAKE_CURRENT_LIST_DIR}/ThreadcontrollerTest.cpp LIBS engine)
