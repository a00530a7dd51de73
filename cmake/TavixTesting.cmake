# GoogleTest from Debian's sources, and one helper to add a test program.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# Both builds register their tests; scripts/test.sh runs the 32-bit suite
# where Wine can execute 32-bit programs (scripts/wine-run32 --check).
set(TAVIX_RUN_TESTS ON)

# tavix_add_test(name [WINDOWS] SOURCES ... [LIBRARIES ...] [PATH dir ...] [DEPENDS target ...] [TIMEOUT seconds])
# PATH folders go on the Windows PATH of the test (see scripts/wine-run).
# WINDOWS: the tests show windows on the shared X display. They run one at a
# time: a window shown by one would take the keyboard focus from another
# that is typing or pressing keys through xdotool, and the keys would be lost.
function(tavix_add_test name)
  cmake_parse_arguments(T "WINDOWS" "TIMEOUT" "SOURCES;LIBRARIES;PATH;DEPENDS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE tavix_common gtest_main ${T_LIBRARIES})
  target_compile_definitions(${name} PRIVATE
    TAVIX_SOURCE_DIR="${CMAKE_SOURCE_DIR}" TAVIX_BINARY_DIR="${CMAKE_BINARY_DIR}")
  if(T_DEPENDS)
    add_dependencies(${name} ${T_DEPENDS})
  endif()
  if(TAVIX_RUN_TESTS)
    string(REPLACE ";" ":" _path "${T_PATH}")
    set(_lock)
    if(NOT T_TIMEOUT)
      set(T_TIMEOUT 120)
    endif()
    if(T_WINDOWS)
      set(_lock RESOURCE_LOCK display)
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT "TAVIX_PATH=${_path}" TIMEOUT ${T_TIMEOUT} ${_lock})
  endif()
endfunction()
