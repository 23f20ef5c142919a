vowelscope_test(test_stringutilities SOURCES ${CMAKE_CURRENT_LIST_DIR}/StringutilitiesTest.cpp LIBS base)
