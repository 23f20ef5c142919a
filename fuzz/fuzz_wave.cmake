# The reader's own sources are compiled into the target so that libFuzzer sees their coverage; the
# libraries themselves are built without fuzzer instrumentation.
vowelscope_fuzzer(fuzz_wave
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_wave.cpp
          ${PROJECT_SOURCE_DIR}/src/sound/Wavefilestream.cpp
          ${PROJECT_SOURCE_DIR}/src/sound/Soundfilestream.cpp
          ${PROJECT_SOURCE_DIR}/src/sound/Soundformat.cpp
          ${PROJECT_SOURCE_DIR}/src/platform/Rifffile.cpp
  LIBS sound)
