# bench_playback: a 25 fps 1600x1200 file played through the real player,
# control panel, stream proxy, HTTP, decoding and offscreen painting: the
# rate kept, and the CPU time per frame against decoding alone.
find_package(libjpeg-turbo CONFIG REQUIRED)
find_package(Qt6 REQUIRED COMPONENTS Widgets)
add_executable(bench_playback ${CMAKE_CURRENT_LIST_DIR}/bench_playback.cpp)
target_link_libraries(bench_playback PRIVATE corvanta_playback_ui corvanta_platform_qt corvanta_recorder_lib
  libjpeg-turbo::turbojpeg Qt6::Widgets)
