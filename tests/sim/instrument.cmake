# The simulated instrument: in-process for tests (instrument_sim) and
# standalone (instrument-sim prints the device path a program opens as its
# serial port and serves until SIGINT or SIGTERM).
add_library(instrument_sim STATIC ${CMAKE_CURRENT_LIST_DIR}/InstrumentSim.cpp)
target_include_directories(instrument_sim PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(instrument_sim PUBLIC platform link Threads::Threads)

add_executable(instrument-sim ${CMAKE_CURRENT_LIST_DIR}/instrument_sim_main.cpp)
target_link_libraries(instrument-sim PRIVATE instrument_sim)
