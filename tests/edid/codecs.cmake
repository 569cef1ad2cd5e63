# Tests of the base-block codecs (VESA_EDID, standard timings, basic display
# parameters, DisplayDescriptor with its presets), built against both builds
# of the library.
if(TARGET edid_cts AND TARGET edid_sink)
  edid_add_test_pair(NAME edid_codec_tests
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/vesa_edid_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/standard_timing_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/basic_display_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/display_descriptor_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/timing_presets_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/codec_cycles_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/codec_locale_test.cpp
  )
endif()

# The checked-in preset tables are what the generator produces.
find_package(Python3 COMPONENTS Interpreter QUIET)
if(Python3_Interpreter_FOUND)
  add_test(NAME edid_timing_presets_generated
           COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/gen_timing_presets.py --check
                   ${PROJECT_SOURCE_DIR}/edid/presets)
  set_tests_properties(edid_timing_presets_generated PROPERTIES LABELS unit TIMEOUT 60)
endif()
