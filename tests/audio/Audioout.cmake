vowelscope_test(test_audioout SOURCES ${CMAKE_CURRENT_LIST_DIR}/AudiooutTest.cpp LIBS audio sound platform)
