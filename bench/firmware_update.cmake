# Wall time of a pallumo update of a 64 KiB image against the simulated
# instrument paced at 115200 baud, beside the time on a real line.
if(TARGET instrument_sim AND TARGET pallumo)
  add_executable(firmware_update ${CMAKE_CURRENT_LIST_DIR}/firmware_update.cpp)
  target_link_libraries(firmware_update PRIVATE link instrument_sim)
  target_compile_definitions(firmware_update PRIVATE PALLUMO_BINARY="$<TARGET_FILE:pallumo>")
  add_dependencies(firmware_update pallumo)
endif()
