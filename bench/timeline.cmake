# bench_timeline: the day timeline's bars rebuilt for a range change, and
# repainted for a hover, 1600 pixels wide over a full day; its thumbnails
# against the recorder stand-in on loopback.
add_executable(bench_timeline ${CMAKE_CURRENT_LIST_DIR}/bench_timeline.cpp)
target_link_libraries(bench_timeline PRIVATE corvanta_playback_ui corvanta_recorder_lib)
