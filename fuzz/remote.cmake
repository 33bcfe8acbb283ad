# The channel's handling of an answer body from the recorder.
corvanta_fuzz_target(fuzz_icp_answer SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_icp_answer.cpp LIBS corvanta_remote)
