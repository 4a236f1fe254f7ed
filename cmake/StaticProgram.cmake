# Programs linked whole: the CGI program (and the test programs that stand in
# for it) start once per request, and a process that loads shared libraries
# pays the dynamic loader at every start (mapping the C library, relocating
# it, resolving every imported symbol): about a tenth of a GET of a large
# configuration. cfgout_static_program(<target>) links such a target as a
# static position-independent executable (address-space randomisation is
# kept), with ICU, libgit2 and the libraries libgit2 needs taken from their
# archives. Where an archive or the toolchain's support is missing, or the
# archives do not link together, targets stay linked to shared libraries, as
# every other program of the project.

set(CFGOUT_STATIC_LINK OFF)
# libgit2's own calls the program linked whole sends elsewhere
# (src/history/git_library_linked.cpp defines the __wrap_ functions).
set(CFGOUT_LIBGIT2_WRAPPED mbedtls_x509_crt_parse_file mbedtls_x509_crt_parse_path
    git_transport_ssh_global_init git_smart_subtransport_ssh git_http_auth_negotiate)
if(CFGOUT_STATIC_PROGRAM AND NOT CFGOUT_SANITIZE)
  set(missing "")
  set(libgit2_archives "")
  foreach(archive icui18n icuuc icudata git2 mbedtls mbedx509 mbedcrypto http_parser pcre2-8 z)
    string(MAKE_C_IDENTIFIER "CFGOUT_ARCHIVE_${archive}" variable)
    string(TOUPPER "${variable}" variable)
    find_library(${variable} NAMES lib${archive}.a)
    if(NOT ${variable})
      list(APPEND missing lib${archive}.a)
    elseif(NOT archive MATCHES "^icu")
      list(APPEND libgit2_archives "${${variable}}")
    endif()
  endforeach()
  find_path(CFGOUT_LIBGIT2_INCLUDE git2.h)
  include(CheckLinkerFlag)
  check_linker_flag(CXX "-static-pie" CFGOUT_HAS_STATIC_PIE)
  if(NOT CFGOUT_HAS_STATIC_PIE)
    list(APPEND missing "-static-pie support")
  endif()
  if(NOT missing)
    # libgit2's archive is built against whichever libraries the system's
    # package chose: link a start of libgit2 as the program does.
    include(CheckCXXSourceCompiles)
    include(CMakePushCheckState)
    cmake_push_check_state(RESET)
    set(CMAKE_REQUIRED_QUIET ON)
    set(CMAKE_REQUIRED_INCLUDES "${CFGOUT_LIBGIT2_INCLUDE}")
    set(CMAKE_REQUIRED_LINK_OPTIONS -static-pie)
    set(stubs "")
    foreach(name IN LISTS CFGOUT_LIBGIT2_WRAPPED)
      list(APPEND CMAKE_REQUIRED_LINK_OPTIONS "-Wl,--wrap=${name}")
      string(APPEND stubs "extern \"C\" int __wrap_${name}() { return 0; }\n")
    endforeach()
    set(CMAKE_REQUIRED_LIBRARIES ${libgit2_archives})
    check_cxx_source_compiles("#include <git2.h>\n${stubs}int main() { return git_libgit2_init() < 0; }"
                              CFGOUT_STATIC_LIBGIT2_LINKS)
    cmake_pop_check_state()
    if(NOT CFGOUT_STATIC_LIBGIT2_LINKS)
      list(APPEND missing "a static link of libgit2 with its libraries")
    endif()
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
