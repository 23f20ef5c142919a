# Speed of the charts: WaveRender over a 120-minute recording, and one paint of each chart at the window's
# design size through QtCanvas (Qt offscreen). A plain program: run it, it prints the figures.
if(TARGET qtcanvas AND TARGET chartdemo)
  add_executable(bench_charts ${CMAKE_CURRENT_LIST_DIR}/ChartsBench.cpp)
  target_link_libraries(bench_charts PRIVATE qtcanvas chartdemo config sound)
  target_compile_definitions(bench_charts PRIVATE VOWELSCOPE_REGIONS_DIR="${PROJECT_SOURCE_DIR}/regions")
endif()
