# Round trip of the link's firmware-version request against the simulated
# instrument, beside the raw round trip of the same pseudo-terminal.
if(TARGET instrument_sim)
  add_executable(link_latency ${CMAKE_CURRENT_LIST_DIR}/link_latency.cpp)
  target_link_libraries(link_latency PRIVATE link instrument_sim)
endif()
