# corvanta_test_label(<out>)
# The ctest label of the calling test folder: the first folder under tests/
# (tests/playback/ui -> playback), so `ctest -L playback` runs that folder's
# tests. Every folder is its own label, imaging, e2e and package included.
function(corvanta_test_label out)
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR})
  string(REGEX REPLACE "/.*" "" label "${rel}")
  if(label STREQUAL "" OR label MATCHES "^\\.\\.")
    message(FATAL_ERROR "tests must live in a folder under tests/: ${CMAKE_CURRENT_SOURCE_DIR}")
  endif()
  set(${out} ${label} PARENT_SCOPE)
endfunction()

# corvanta_add_gtest(<name> SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable per unit; each test case becomes a ctest entry,
# labelled with its test folder (corvanta_test_label).
function(corvanta_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  # Sanitizer builds run the end-to-end cases (real decoding and painting)
  # several times slower.
  if(CORVANTA_SANITIZE STREQUAL "none")
    set(timeout 300)
  else()
    set(timeout 900)
  endif()
  corvanta_test_label(label)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT ${timeout} LABELS ${label})
endfunction()

# corvanta_library(<name> [DEPS <targets...>])
# A subsystem library made of every .cpp in the calling folder.
function(corvanta_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} Threads::Threads)
endfunction()

# corvanta_folder_tests(<name> [LIBS <targets...>])
# One test executable made of every .cpp in the calling test folder.
function(corvanta_folder_tests name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  corvanta_add_gtest(${name} SOURCES ${sources} LIBS ${ARG_LIBS})
endfunction()
