vowelscope_test(test_appiniproperty SOURCES ${CMAKE_CURRENT_LIST_DIR}/AppinipropertyTest.cpp LIBS config)
