add_executable(bench_sweep ${CMAKE_CURRENT_LIST_DIR}/bench_sweep.cpp)
target_link_libraries(bench_sweep PRIVATE corvanta_platform)
