include(GoogleTest)

# suite_add_test(NAME <name> SOURCES <files...> LIBS <targets...>
#                [THREAD] [GUI] [X11 <main file>] [TIMEOUT <seconds>] [PREFIX <text>])
#
# PREFIX: put before every ctest name (e.g. "cts." for a program built twice).
#
# THREAD: the test exercises threads; it is also built and run under
#         ThreadSanitizer (label "thread"). Keep Qt widgets out of such tests.
# GUI:    links Qt Widgets and uses the suite's GUI test main, which selects
#         the offscreen platform when none is set.
# X11:    a window test on the xcb platform: links Qt Widgets and xcb, and
#         its main (the file given) starts the Xvfb server it runs against
#         (label "gui"; no offscreen platform set for it).
function(suite_add_test)
  cmake_parse_arguments(T "THREAD;GUI" "NAME;TIMEOUT;PREFIX;X11" "SOURCES;LIBS" ${ARGN})
  if(SUITE_THREAD_TESTS_ONLY AND NOT T_THREAD)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  set(platform_env "QT_QPA_PLATFORM=offscreen")
  if(T_X11)
    target_sources(${T_NAME} PRIVATE ${T_X11})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} Qt6::Widgets Qt6::Test GTest::gtest GTest::gmock xcb)
    set(platform_env "QT_QPA_PLATFORM=xcb")
  elseif(T_GUI)
    target_sources(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/gui_test_main.cpp)
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} Qt6::Widgets Qt6::Test GTest::gtest GTest::gmock)
  else()
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  endif()
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  # One label per test program (a list would be split into properties).
  set(labels unit)
  if(T_THREAD)
    set(labels thread)
  elseif(T_GUI OR T_X11)
    set(labels gui)
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    TEST_PREFIX "${T_PREFIX}"
    PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS ${labels}
               ENVIRONMENT "${platform_env}")
endfunction()
