# bench_archive_dir: the recorder serving a folder of real recordings made
# with ffmpeg: indexing speed, sequential frames per second, seek time.
find_package(PkgConfig REQUIRED)
pkg_check_modules(BENCH_ARCHIVE_DIR_CURL REQUIRED IMPORTED_TARGET libcurl)
add_executable(bench_archive_dir ${CMAKE_CURRENT_LIST_DIR}/bench_archive_dir.cpp)
target_link_libraries(bench_archive_dir PRIVATE corvanta_recorder_lib PkgConfig::BENCH_ARCHIVE_DIR_CURL)
