# The simulated board's signal model (portable): the board's two libraries,
# quorvel-analyse, the tests and the fuzz target all link this one library.
# The top CMakeLists includes this file before any other folder, so that it
# is there in every build (the Linux ones, which add no components, and the
# fuzz build, where the fuzz folder's instrumentation of quorvel_options
# reaches it as it reaches every other library).
add_library(simboard_model STATIC
  ${CMAKE_CURRENT_LIST_DIR}/protocol.h
  ${CMAKE_CURRENT_LIST_DIR}/protocol.cpp)
target_link_libraries(simboard_model PUBLIC quorvel_config quorvel_options)
