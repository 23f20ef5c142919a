vowelscope_test(test_engineanalysis SOURCES ${CMAKE_CURRENT_LIST_DIR}/EngineanalysisTest.cpp LIBS engine)
