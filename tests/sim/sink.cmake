# The simulated sink: in-process for tests (sink_sim) and standalone
# (sink-sim prints the device path a program opens as its serial port).
add_library(sink_sim STATIC ${CMAKE_CURRENT_LIST_DIR}/SinkSim.cpp)
target_include_directories(sink_sim PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(sink_sim PUBLIC platform instrument_frame Threads::Threads)

add_executable(sink-sim ${CMAKE_CURRENT_LIST_DIR}/sink_sim_main.cpp)
target_link_libraries(sink-sim PRIVATE sink_sim)
