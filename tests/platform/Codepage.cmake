vowelscope_test(test_codepage SOURCES ${CMAKE_CURRENT_LIST_DIR}/CodepageTest.cpp LIBS platform)
