vowelscope_test(test_wavefilestream SOURCES ${CMAKE_CURRENT_LIST_DIR}/WavefilestreamTest.cpp LIBS sound)
