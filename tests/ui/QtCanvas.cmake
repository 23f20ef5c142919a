vowelscope_test(test_qtcanvas SOURCES ${CMAKE_CURRENT_LIST_DIR}/QtCanvasTest.cpp ${CMAKE_CURRENT_LIST_DIR}/QtTestMain.cpp
  LIBS qtcanvas)
