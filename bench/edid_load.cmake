# Loading a large .ECD into a headless EDID library instance, and one field
# set with its propagation on that collection.
if(TARGET edid_cts)
  add_executable(edid_load ${CMAKE_CURRENT_LIST_DIR}/edid_load.cpp)
  target_link_libraries(edid_load PRIVATE edid_cts)
endif()
