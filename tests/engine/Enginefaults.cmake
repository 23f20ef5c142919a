vowelscope_test(test_enginefaults SOURCES ${CMAKE_CURRENT_LIST_DIR}/EnginefaultsTest.cpp LIBS engine)
