find_package(Qt6 REQUIRED COMPONENTS Test)
vowelscope_test(test_dlgoption SOURCES ${CMAKE_CURRENT_LIST_DIR}/DlgOptionTest.cpp ${CMAKE_CURRENT_LIST_DIR}/QtTestMain.cpp
  LIBS uidialogs Qt6::Test)
