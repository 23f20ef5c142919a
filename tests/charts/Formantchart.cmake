vowelscope_test(test_formantchart SOURCES ${CMAKE_CURRENT_LIST_DIR}/FormantchartTest.cpp LIBS charts)
