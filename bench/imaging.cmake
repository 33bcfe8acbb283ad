find_package(libjpeg-turbo CONFIG REQUIRED)
add_executable(bench_decode_jpeg ${CMAKE_CURRENT_LIST_DIR}/bench_decode_jpeg.cpp)
target_link_libraries(bench_decode_jpeg PRIVATE corvanta_imaging libjpeg-turbo::turbojpeg)
