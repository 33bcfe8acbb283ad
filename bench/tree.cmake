# bench_tree: a day of some 540 recordings opened in the "Full" tree.
add_executable(bench_tree ${CMAKE_CURRENT_LIST_DIR}/bench_tree.cpp)
target_link_libraries(bench_tree PRIVATE corvanta_maindlg_ui corvanta_recorder_lib)
