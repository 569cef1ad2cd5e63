# Intel HEX decoder, CRC-16, RAM loader image and firmware-update sequence.
suite_add_test(NAME link_hex_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/hex_decoder_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/hex_ram_loader_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/hex_firmware_update_test.cpp
  LIBS link)
if(TARGET link_hex_tests)  # not built when only the thread tests are
  target_compile_definitions(link_hex_tests PRIVATE
    RAM_LOADER_EMBED="$<TARGET_FILE:ram_loader_embed>"
    RAM_LOADER_FILE="${SUITE_RAM_LOADER_FILE}")
  add_dependencies(link_hex_tests ram_loader_embed)
endif()

# The sequence on the compliance-test link's worker, against the simulator.
if(TARGET instrument_sim)
  suite_add_test(NAME link_hex_worker_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/hex_firmware_worker_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/hex_loader_sim_test.cpp
    LIBS link instrument_sim
    THREAD TIMEOUT 240)
endif()
