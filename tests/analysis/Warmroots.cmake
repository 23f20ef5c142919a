vowelscope_test(test_warmroots SOURCES ${CMAKE_CURRENT_LIST_DIR}/WarmrootsTest.cpp LIBS analysis)
