vowelscope_test(test_soundconverter SOURCES ${CMAKE_CURRENT_LIST_DIR}/SoundconverterTest.cpp LIBS sound)
