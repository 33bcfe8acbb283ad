# Feeds arbitrary relative paths and names to the folder layout rules.
corvanta_fuzz_target(fuzz_folder_layout
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/folder_layout_fuzz.cpp
  LIBS corvanta_recorder_folder)
