vowelscope_test(test_soundformat SOURCES ${CMAKE_CURRENT_LIST_DIR}/SoundformatTest.cpp LIBS sound)
