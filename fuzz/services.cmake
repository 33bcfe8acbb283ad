# The dictionary file of the language translator, which a person edits.
corvanta_fuzz_target(fuzz_dictionary SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/dictionary_fuzz.cpp LIBS corvanta_services)
