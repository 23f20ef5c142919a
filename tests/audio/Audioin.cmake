vowelscope_test(test_audioin SOURCES ${CMAKE_CURRENT_LIST_DIR}/AudioinTest.cpp LIBS audio sound platform)
