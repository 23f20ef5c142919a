vowelscope_test(test_soundmemorystream SOURCES ${CMAKE_CURRENT_LIST_DIR}/SoundmemorystreamTest.cpp LIBS sound)
