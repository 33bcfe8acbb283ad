corvanta_fuzz_target(fuzz_decode_jpeg SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_decode_jpeg.cpp LIBS corvanta_imaging)
