vowelscope_test(test_axisdrawer SOURCES ${CMAKE_CURRENT_LIST_DIR}/AxisdrawerTest.cpp LIBS charts)
