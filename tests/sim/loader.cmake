# The simulated instrument's firmware-update side (RAM loader and flash).
if(TARGET instrument_sim)
  target_sources(instrument_sim PRIVATE ${CMAKE_CURRENT_LIST_DIR}/LoaderSim.cpp)
  target_link_libraries(instrument_sim PUBLIC link)
endif()
