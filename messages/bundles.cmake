# Rules that compile message sources into ICU resource bundles.
#
# cfgout_message_bundle(<bundle> SOURCE_DIR <dir> OUTPUT_DIR <dir>
#                       [LOCALE <name>] [FORCE_ENCODING <name> | NO_FORCE_ENCODING]
#                       [TEST_ONLY] [TARGET <name>])
#
# Builds <OUTPUT_DIR>/<bundle>/<LOCALE>.res (LOCALE defaults to "root") from
# the catalogues (<n>.msg) and templates (pages.list + .html) in SOURCE_DIR,
# which may be absent. ICU opens "<OUTPUT_DIR>/<bundle>" for any locale and
# falls back to root.res. The bundle's converter is FORCE_ENCODING
# (default UTF-8); NO_FORCE_ENCODING leaves the choice to the locale.
#
# Target: cfgout_bundle_<bundle> (cfgout_bundle_<bundle>_<LOCALE> for another
# locale). Unless TEST_ONLY, the bundle is built by `all`, belongs to the
# target cfgout_bundles and is installed to CFGOUT_MESSAGE_DIR. A TEST_ONLY
# bundle's target is cfgout_test_bundle_<bundle>[_<LOCALE>]: make the test
# that reads it depend on it. TARGET names the target instead, so that test
# folders can each build their own bundle of the same name; several calls may
# share one TARGET, which then builds all their bundles.

if(NOT TARGET cfgout_bundles)
  add_custom_target(cfgout_bundles ALL)
endif()

function(cfgout_message_bundle bundle)
  cmake_parse_arguments(ARG "NO_FORCE_ENCODING;TEST_ONLY" "SOURCE_DIR;OUTPUT_DIR;LOCALE;FORCE_ENCODING;TARGET" "" ${ARGN})
  if(NOT ARG_SOURCE_DIR OR NOT ARG_OUTPUT_DIR)
    message(FATAL_ERROR "cfgout_message_bundle(${bundle}): SOURCE_DIR and OUTPUT_DIR are required")
  endif()
  if(NOT ARG_LOCALE)
    set(ARG_LOCALE root)
  endif()
  set(encoding_args --force-encoding UTF-8)
  if(ARG_NO_FORCE_ENCODING)
    set(encoding_args --no-force-encoding)
  elseif(ARG_FORCE_ENCODING)
    set(encoding_args --force-encoding "${ARG_FORCE_ENCODING}")
  endif()
  set(target cfgout_bundle_${bundle})
  if(ARG_TEST_ONLY)
    set(target cfgout_test_bundle_${bundle})
  endif()
  if(NOT ARG_LOCALE STREQUAL "root")
    set(target ${target}_${ARG_LOCALE})
  endif()
  if(ARG_TARGET)
    set(target ${ARG_TARGET})
  endif()

  # Every source, so that editing, adding or removing one rebuilds the bundle.
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       "${ARG_SOURCE_DIR}/*.msg" "${ARG_SOURCE_DIR}/*.html" "${ARG_SOURCE_DIR}/pages.list")
  list(SORT sources)

  set(text_dir "${CMAKE_CURRENT_BINARY_DIR}/bundle_text/${target}/${bundle}")
  set(text_file "${text_dir}/${ARG_LOCALE}.txt")
  set(bundle_dir "${ARG_OUTPUT_DIR}/${bundle}")
  set(res_file "${bundle_dir}/${ARG_LOCALE}.res")

  add_custom_command(
    OUTPUT "${text_file}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${text_dir}"
    COMMAND cfgout_bundle_compiler --source-dir "${ARG_SOURCE_DIR}" --output "${text_file}"
            --table "${ARG_LOCALE}" ${encoding_args}
    DEPENDS cfgout_bundle_compiler ${sources}
    COMMENT "Compiling message sources of ${bundle} (${ARG_LOCALE})"
    VERBATIM)
  add_custom_command(
    OUTPUT "${res_file}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${bundle_dir}"
    COMMAND "${GENRB_EXECUTABLE}" -q -e UTF-8 -d "${bundle_dir}" "${text_file}"
    DEPENDS "${text_file}"
    COMMENT "Building ICU bundle ${bundle}/${ARG_LOCALE}.res"
    VERBATIM)

  if(ARG_TEST_ONLY)
    if(TARGET ${target})
      # A further bundle of a target shared by several calls.
      add_custom_target(${target}_${bundle}_${ARG_LOCALE} DEPENDS "${res_file}")
      add_dependencies(${target} ${target}_${bundle}_${ARG_LOCALE})
    else()
      add_custom_target(${target} DEPENDS "${res_file}")
    endif()
  else()
    add_custom_target(${target} ALL DEPENDS "${res_file}")
    add_dependencies(cfgout_bundles ${target})
    install(FILES "${res_file}" DESTINATION "${CFGOUT_MESSAGE_DIR}/${bundle}")
  endif()
endfunction()

# The program's bundles: slot 1 "config" (message sets 1 and 2), slot 2
# "HTMLForm" and slot 3 "htmlprox" (page templates).
foreach(bundle config HTMLForm htmlprox)
  cfgout_message_bundle(${bundle}
    SOURCE_DIR "${CMAKE_CURRENT_SOURCE_DIR}/${bundle}"
    OUTPUT_DIR "${CFGOUT_BUILD_MESSAGE_DIR}")
endforeach()
