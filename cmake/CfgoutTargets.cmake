# Common settings for the project's own targets.

if(CFGOUT_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
# Address-checking builds (and the fuzzers, which check addresses) keep
# configuration lines on the ordinary heap, in every file alike.
if(CFGOUT_SANITIZE OR CFGOUT_FUZZ)
  add_compile_definitions(CFGOUT_PLAIN_LINE_NODES=1)
endif()

# Warnings are errors for our code only (third-party headers come in as SYSTEM).
function(cfgout_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  # GCC 12 at -O3 reports -Wrestrict overlaps inside std::string assignment
  # that cannot happen (a known false positive of that release); AddressSanitizer
  # builds check real overlaps.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
    # With the sanitizers' instrumentation, GCC 12's flow analysis reports
    # "may be used uninitialized" inside std::regex and std::function moves
    # of the standard library; the sanitizer build itself checks real reads
    # of uninitialised memory far better.
    if(CFGOUT_SANITIZE)
      target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
    endif()
  endif()
endfunction()

# cfgout_library(<name> SOURCES ... DEPS ...): one static library per subsystem,
# headers included as "<subsystem>/<file>.h" from src/.
function(cfgout_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}/src")
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  cfgout_warnings(${name})
endfunction()

# cfgout_test(<name> SOURCES ... DEPS ...): a GoogleTest executable registered with CTest.
function(cfgout_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests")
  cfgout_warnings(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${ARG_LABELS}")
endfunction()
