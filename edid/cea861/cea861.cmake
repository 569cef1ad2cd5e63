# The CEA-861 extension codec: core and encoder, the data block type entry,
# and one file per group of data block kinds.
list(APPEND EDID_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/CEA861.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CeaDataBlock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CeaAudioVideo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CeaExtendedTag.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CeaVddi.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CeaVendorDataBlock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CeaHfVsdb.cpp
)
