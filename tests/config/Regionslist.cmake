vowelscope_test(test_regionslist SOURCES ${CMAKE_CURRENT_LIST_DIR}/RegionslistTest.cpp LIBS config)
target_compile_definitions(test_regionslist PRIVATE
  VOWELSCOPE_SOURCE_REGIONS="${PROJECT_SOURCE_DIR}/regions"
  VOWELSCOPE_BUILT_REGIONS_UI="${CMAKE_BINARY_DIR}/src/ui/regions"
  VOWELSCOPE_BUILT_REGIONS_TOOLS="${CMAKE_BINARY_DIR}/src/tools/regions")
