# The charts' Canvas on QPainter and the off-screen chart images, as one library the window, the chart
# picture tool, the tests and the benches link.
add_library(qtcanvas STATIC
  ${CMAKE_CURRENT_LIST_DIR}/QtCanvas.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Chartimage.cpp)
target_include_directories(qtcanvas PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(qtcanvas PUBLIC charts Qt6::Widgets Qt6::Gui)

# A synthetic session (vowels analysed like a recording) for chart pictures and paint timings.
add_library(chartdemo STATIC ${CMAKE_CURRENT_LIST_DIR}/Chartdemo.cpp)
target_include_directories(chartdemo PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(chartdemo PUBLIC analysis sound)

# vowelscope-chartpng [OUTDIR [GUIDE-CAPTION]]: both charts of the synthetic session as PNG files.
add_executable(vowelscope-chartpng ${CMAKE_CURRENT_LIST_DIR}/Chartpng.cpp)
target_link_libraries(vowelscope-chartpng PRIVATE qtcanvas chartdemo config)
add_dependencies(vowelscope-chartpng regions_files)
