# Programs linked whole: the CGI program (and the test programs that stand in
# for it) start once per request, and a process that loads shared libraries
# pays the dynamic loader at every start (mapping the C library, relocating
# it, resolving every imported symbol): about a tenth of a GET of a large
# configuration. cfgout_static_program(<target>) links such a target as a
# static position-independent executable (address-space randomisation is
# kept), with ICU, libgit2 and the libraries libgit2 needs taken from their
# archives. Where an archive or the toolchain's support is missing, targets
# stay linked to shared libraries, as every other program of the project.

set(CFGOUT_STATIC_LINK OFF)
if(CFGOUT_STATIC_PROGRAM AND NOT CFGOUT_SANITIZE)
  set(missing "")
  foreach(archive icui18n icuuc icudata git2 mbedtls mbedx509 mbedcrypto http_parser pcre2-8 z)
    string(MAKE_C_IDENTIFIER "CFGOUT_ARCHIVE_${archive}" variable)
    string(TOUPPER "${variable}" variable)
    find_library(${variable} NAMES lib${archive}.a)
    if(NOT ${variable})
      list(APPEND missing lib${archive}.a)
    endif()
  endforeach()
  include(CheckLinkerFlag)
  check_linker_flag(CXX "-static-pie" CFGOUT_HAS_STATIC_PIE)
  if(NOT CFGOUT_HAS_STATIC_PIE)
    list(APPEND missing "-static-pie support")
  endif()
  if(missing)
    message(WARNING "cfgout is linked to shared libraries; missing for a static program: ${missing}")
  else()
    set(CFGOUT_STATIC_LINK ON)
  endif()
  # The program's relative relocations, packed into a bitmap the start-up
  # code applies in a few microseconds, where the linker knows the form.
  check_linker_flag(CXX "-Wl,-z,pack-relative-relocs" CFGOUT_PACKED_RELOCS)
endif()

function(cfgout_static_program target)
  if(NOT CFGOUT_STATIC_LINK)
    return()
  endif()
  # Read by the libraries' link interfaces (src/nls, src/history).
  set_target_properties(${target} PROPERTIES CFGOUT_STATIC_LINK ON)
  target_link_options(${target} PRIVATE -static-pie -Wl,--gc-sections)
  if(CFGOUT_PACKED_RELOCS)
    target_link_options(${target} PRIVATE -Wl,-z,pack-relative-relocs)
  endif()
endfunction()
