vowelscope_test(test_sessionfiles SOURCES ${CMAKE_CURRENT_LIST_DIR}/SessionfilesTest.cpp LIBS engine)
