# bench_frames: frames pulled through the whole channel (player-side ICP
# client, stream proxy, HTTP, the recorder stand-in, decoding, answer copy)
# against decoding the same JPEG bytes with TurboJPEG alone.
find_package(libjpeg-turbo CONFIG REQUIRED)
add_executable(bench_frames ${CMAKE_CURRENT_LIST_DIR}/bench_frames.cpp)
target_link_libraries(bench_frames PRIVATE corvanta_remote corvanta_recorder_lib libjpeg-turbo::turbojpeg)
