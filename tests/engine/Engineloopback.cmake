# Uses the shared test sound server: what one test plays, every recording test would hear, so the tests
# that play or record through it hold the resource lock "sound_server" and never run side by side.
add_executable(test_engineloopback ${CMAKE_CURRENT_LIST_DIR}/EngineloopbackTest.cpp)
target_link_libraries(test_engineloopback PRIVATE engine GTest::gtest GTest::gtest_main Threads::Threads)
target_compile_definitions(test_engineloopback PRIVATE VOWELSCOPE_TEST_TMP="${CMAKE_BINARY_DIR}/test-tmp")
gtest_discover_tests(test_engineloopback DISCOVERY_MODE PRE_TEST
  PROPERTIES LABELS engine RESOURCE_LOCK sound_server RUN_SERIAL TRUE DISCOVERY_TIMEOUT 60)
