# Feeds arbitrary query strings and request records to the recorder stand-in.
corvanta_fuzz_target(fuzz_recorder_request
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_recorder_request.cpp
  LIBS corvanta_recorder_lib)
