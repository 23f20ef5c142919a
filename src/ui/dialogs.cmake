# The dialogs (options with its numeric edit, progress, about) and the toolbar pictures, as one library
# the main window and the dialog tests link.
add_library(uidialogs STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Numedit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DlgOption.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DlgProgress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DlgAbout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/icons/Toolicons.cpp)
target_include_directories(uidialogs PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(uidialogs PUBLIC config base Qt6::Widgets Qt6::Gui)
