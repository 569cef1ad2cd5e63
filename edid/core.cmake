# The EDID library core: entry model, dependency engine, codec interface,
# collection, handle interface, files, and the block map and DisplayID codecs.
list(APPEND EDID_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/BlockDetectors.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ECCollection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ECEntry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ECFiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ECFormat.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ECHelper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ECLibrary.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ECPrimary.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ECPrimaryFiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ECRootParser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ECVariant.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VESA_BME.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VESA_DisplayID.cpp
)
