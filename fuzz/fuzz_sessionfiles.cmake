# The session-file readers are compiled into the target so that libFuzzer sees their coverage.
vowelscope_fuzzer(fuzz_sessionfiles
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_sessionfiles.cpp
          ${PROJECT_SOURCE_DIR}/src/engine/Sessionfiles.cpp
          ${PROJECT_SOURCE_DIR}/src/engine/Sessiontext.cpp
          ${PROJECT_SOURCE_DIR}/src/engine/Stringutilities.cpp
          ${PROJECT_SOURCE_DIR}/src/engine/Fileutilities.cpp
  LIBS engine)
