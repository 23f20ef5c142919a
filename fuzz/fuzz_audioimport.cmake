# The import's own sources are compiled into the target so that libFuzzer sees their coverage; the
# decoders (libsndfile with its FLAC, Vorbis, Opus and MPEG parts) and the resampler are not instrumented.
vowelscope_fuzzer(fuzz_audioimport
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_audioimport.cpp
          ${PROJECT_SOURCE_DIR}/src/sound/Soundimport.cpp
          ${PROJECT_SOURCE_DIR}/src/platform/Audiofilereader.cpp
          ${PROJECT_SOURCE_DIR}/src/platform/Resampler.cpp
  LIBS sound)
