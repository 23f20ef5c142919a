find_package(Qt6 REQUIRED COMPONENTS Test)
if(TARGET uiwindow)
  vowelscope_test(test_wndmainanalysis SOURCES ${CMAKE_CURRENT_LIST_DIR}/WndMainAnalysisTest.cpp ${CMAKE_CURRENT_LIST_DIR}/QtTestMain.cpp
    LIBS uiwindow platform Qt6::Test)
endif()
