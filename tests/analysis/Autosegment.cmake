vowelscope_test(test_autosegment SOURCES ${CMAKE_CURRENT_LIST_DIR}/AutosegmentTest.cpp LIBS analysis)
