vowelscope_test(test_pitchcandidates SOURCES ${CMAKE_CURRENT_LIST_DIR}/PitchcandidatesTest.cpp LIBS analysis)
