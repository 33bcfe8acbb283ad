# bench_export: export speed of a 704x576 25 fps recording from the stand-in
# on loopback, as MJPEG in AVI and as H.264 in MP4.
add_executable(bench_export ${CMAKE_CURRENT_LIST_DIR}/bench_export.cpp)
target_link_libraries(bench_export PRIVATE corvanta_export corvanta_recorder_lib)
