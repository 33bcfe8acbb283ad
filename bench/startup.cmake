# bench_startup: a control from creation to every filter reachable, and back.
add_executable(bench_startup ${CMAKE_CURRENT_LIST_DIR}/bench_startup.cpp)
target_link_libraries(bench_startup PRIVATE corvanta_control)
