vowelscope_test(test_formantanalyzer SOURCES ${CMAKE_CURRENT_LIST_DIR}/FormantanalyzerTest.cpp LIBS analysis)
