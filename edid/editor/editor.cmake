# The editor window of the EDID library, its collection dialog and hex view.
list(APPEND EDID_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/BlockTemplates.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ECQuickSetupMenu.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ECTreeWidgetView.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EditorFileDialogs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EditorTexts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TChangeCollectionDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TECForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TECFormInstance.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TxtField.cpp
)
list(APPEND EDID_EXTRA_LIBS Qt6::Widgets platform_gui)
