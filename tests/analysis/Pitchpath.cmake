vowelscope_test(test_pitchpath SOURCES ${CMAKE_CURRENT_LIST_DIR}/PitchpathTest.cpp LIBS analysis)
