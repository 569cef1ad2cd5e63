# The base-block codecs: VESA_EDID (with its standard timings and basic
# display parameters) and DisplayDescriptor (detailed timings with their
# presets, display descriptors).
list(APPEND EDID_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/BasicDisplayParams.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DetailedTiming.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DisplayDescriptor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DisplayDescriptors.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StandardTiming.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TimingPresets.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VESA_EDID.cpp
)
