# bench_recorder: how many distinct 1600x1200 frames one server thread of
# the recorder stand-in delivers per second over loopback.
find_package(PkgConfig REQUIRED)
pkg_check_modules(BENCH_RECORDER_CURL REQUIRED IMPORTED_TARGET libcurl)
add_executable(bench_recorder ${CMAKE_CURRENT_LIST_DIR}/bench_recorder.cpp)
target_link_libraries(bench_recorder PRIVATE corvanta_recorder_lib benchmark::benchmark PkgConfig::BENCH_RECORDER_CURL)
