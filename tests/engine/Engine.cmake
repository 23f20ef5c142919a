vowelscope_test(test_engine SOURCES ${CMAKE_CURRENT_LIST_DIR}/EngineTest.cpp LIBS engine)
