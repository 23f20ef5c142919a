# The main window and the program. The window is a library of its own so that its tests drive the same
# code on virtual sound devices; the program adds only main().
include(GNUInstallDirs)
if(NOT TARGET qtcanvas)
  message(STATUS "window: no qtcanvas target yet, the program is not built")
  return()
endif()
add_library(uiwindow STATIC
  ${CMAKE_CURRENT_LIST_DIR}/WndMain.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WndMainLayout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WndMainCharts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WndMainAnalysis.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WndMainFiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WndMainPractice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WndMainGuide.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Toolkittranslation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Chartboxes.cpp)
target_include_directories(uiwindow PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(uiwindow PUBLIC uidialogs uipractice qtcanvas engine charts audio config Qt6::Widgets Qt6::Gui)

add_executable(vowelscope ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(vowelscope PRIVATE uiwindow)
# Beside the regions folder the build copies here, as in an installation.
set_target_properties(vowelscope PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/src/ui)

install(TARGETS vowelscope RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/data/vowelscope.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/icons/vowelscope.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
