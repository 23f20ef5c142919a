# The practice pieces: the live pitch readout, the target and score panel, and the box that makes a guide
# set from a take. Widgets of their own, with their own tests, that the main window places.
add_library(uipractice STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Pitchreadout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Targetpanel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DlgGuide.cpp)
target_include_directories(uipractice PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(uipractice PUBLIC charts config analysis base Qt6::Widgets Qt6::Gui)
