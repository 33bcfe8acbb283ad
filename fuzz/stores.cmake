# Readers of bytes that come from other processes or from the user's files.
corvanta_fuzz_target(fuzz_settings_snapshot SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/settings_snapshot_fuzz.cpp LIBS corvanta_stores)
corvanta_fuzz_target(fuzz_registry_file SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/registry_file_fuzz.cpp LIBS corvanta_stores)
corvanta_fuzz_target(fuzz_tagged_record SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tagged_record_fuzz.cpp LIBS corvanta_stores)
