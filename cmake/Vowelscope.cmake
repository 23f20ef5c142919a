# Helpers shared by every folder's CMakeLists.txt.

# vowelscope_library(NAME [SOURCES src...] DEPS dep...): a static library of the
# given sources (default: every .cpp in the calling folder), its headers
# included as <folder>/<Header>.h from src/.
function(vowelscope_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if("SOURCES" IN_LIST ARGN)
    set(srcs ${ARG_SOURCES})
  else()
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
  add_library(vowelscope::${name} ALIAS ${name})
endfunction()

# vowelscope_test(NAME SOURCES src... LIBS lib... [LABELS label...] [RESOURCE_LOCK name...]): one
# GoogleTest program, registered with ctest test by test and labelled, unless told, with the folder of
# its first source; it includes the shared test helpers as "support/<Helper>.h". Tests that share a
# RESOURCE_LOCK never run at the same time (e.g. `sound_server`: tests that play into the test sound
# server and record it back); those also run alone, so that no other test starves the sound server of CPU.
function(vowelscope_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;RESOURCE_LOCK" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE VOWELSCOPE_TEST_TMP="${CMAKE_BINARY_DIR}/test-tmp")
  set(labels ${ARG_LABELS})
  if(NOT labels)
    list(GET ARG_SOURCES 0 first)
    get_filename_component(first_dir ${first} ABSOLUTE)
    get_filename_component(first_dir ${first_dir} DIRECTORY)
    get_filename_component(labels ${first_dir} NAME)
  endif()
  set(lock "")
  if(ARG_RESOURCE_LOCK)
    set(lock RESOURCE_LOCK "${ARG_RESOURCE_LOCK}" RUN_SERIAL TRUE)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES LABELS "${labels}" ${lock} DISCOVERY_TIMEOUT 60)
endfunction()

find_package(Threads REQUIRED)
