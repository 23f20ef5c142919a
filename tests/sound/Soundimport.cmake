vowelscope_test(test_soundimport SOURCES ${CMAKE_CURRENT_LIST_DIR}/SoundimportTest.cpp LIBS sound)
