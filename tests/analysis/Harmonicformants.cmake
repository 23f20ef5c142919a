vowelscope_test(test_harmonicformants SOURCES ${CMAKE_CURRENT_LIST_DIR}/HarmonicformantsTest.cpp LIBS analysis)
