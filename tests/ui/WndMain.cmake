find_package(Qt6 REQUIRED COMPONENTS Test)
if(TARGET uiwindow)
  vowelscope_test(test_wndmain SOURCES ${CMAKE_CURRENT_LIST_DIR}/WndMainTest.cpp ${CMAKE_CURRENT_LIST_DIR}/QtTestMain.cpp
    LIBS uiwindow platform Qt6::Test)
endif()
