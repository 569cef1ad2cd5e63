# The Intel HEX decoder, CRC-16, embedded RAM loader and firmware-update
# sequence, added to the link library.
#
# SUITE_RAM_LOADER_FILE selects the RAM loader embedded in the programs. The
# repository ships a placeholder (RamLoaderImage.hex, written by
# tools/gen_ram_loader.py); build with the loader delivered with the
# instrument's firmware by setting this option to that file. The build checks
# the file: it must decode, its segments must lie below 0x10000 and its first
# segment must start at 0x0500.
set(SUITE_RAM_LOADER_FILE "${CMAKE_CURRENT_LIST_DIR}/RamLoaderImage.hex"
    CACHE FILEPATH "Intel HEX file of the instrument's RAM loader")

add_executable(ram_loader_embed
  ${CMAKE_CURRENT_LIST_DIR}/RamLoaderEmbed.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IntelHexDecoder.cpp)
target_include_directories(ram_loader_embed PRIVATE ${PROJECT_SOURCE_DIR})

set(_ram_loader_cpp ${CMAKE_CURRENT_BINARY_DIR}/RamLoaderImage.cpp)
add_custom_command(
  OUTPUT ${_ram_loader_cpp}
  COMMAND ram_loader_embed ${SUITE_RAM_LOADER_FILE} ${_ram_loader_cpp}
  DEPENDS ram_loader_embed ${SUITE_RAM_LOADER_FILE}
  COMMENT "Checking and embedding the RAM loader ${SUITE_RAM_LOADER_FILE}"
  VERBATIM)

target_sources(link PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/IntelHexDecoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Crc16.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FirmwareUpdate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FirmwareUpdateWorker.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MV_CommFirmwareUpdate.cpp
  ${_ram_loader_cpp})
