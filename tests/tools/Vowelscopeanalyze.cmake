vowelscope_test(test_vowelscopeanalyze SOURCES ${CMAKE_CURRENT_LIST_DIR}/VowelscopeanalyzeTest.cpp LIBS engine)
add_dependencies(test_vowelscopeanalyze vowelscope-analyze)
target_include_directories(test_vowelscopeanalyze PRIVATE ${PROJECT_SOURCE_DIR}/tests/engine)
target_compile_definitions(test_vowelscopeanalyze PRIVATE VOWELSCOPE_ANALYZE="$<TARGET_FILE:vowelscope-analyze>")
