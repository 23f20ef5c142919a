# The charts' Canvas on QPainter and the off-screen chart images, as one library the window, the chart
# picture tool, the tests and the benches link.
add_library(qtcanvas STATIC
  ${CMAKE_CURRENT_LIST_DIR}/QtCanvas.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Chartimage.cpp)
target_include_directories(qtcanvas PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(qtcanvas PUBLIC charts Qt6::Widgets Qt6::Gui)
