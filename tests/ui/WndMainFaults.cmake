find_package(Qt6 REQUIRED COMPONENTS Test)
if(TARGET uiwindow)
  vowelscope_test(test_wndmainfaults SOURCES ${CMAKE_CURRENT_LIST_DIR}/WndMainFaultsTest.cpp ${CMAKE_CURRENT_LIST_DIR}/QtTestMain.cpp
    LIBS uiwindow platform Qt6::Test)
endif()
