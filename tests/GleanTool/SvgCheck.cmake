# Checks the pictures of the svg command.
#
#   cmake -DTOOL=<GleanTool> -DWORK=<scratch folder> -DMODE=pictures -DRULES=<rule file>
#         -DPICTURES=<folder> -DPREFIX=<prefix> [-DWEIGHTS=<weight file> -DDATA=<data set>]
#         -P SvgCheck.cmake
#       the command run on RULES (with the samples of DATA, when given) writes exactly the files
#       of PICTURES, byte for byte;
#   cmake -DTOOL=<GleanTool> -DWORK=<scratch folder> -DMODE=xml -DXMLLINT=<xmllint or empty>
#         -DRULES=<rule file;rule file...> [-DPICTURES=<folder>] -P SvgCheck.cmake
#       every file the command writes for each rule file, and every SVG file below PICTURES, is
#       well-formed XML ("xmllint --noout").

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

function(draw rules prefix)
  execute_process(COMMAND "${TOOL}" svg "${rules}" "${WORK}/${prefix}" ${ARGN}
    RESULT_VARIABLE code ERROR_VARIABLE err OUTPUT_QUIET)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "GleanTool svg ${rules} failed (${code}): ${err}")
  endif()
endfunction()

if(MODE STREQUAL "pictures")
  set(samples)
  if(DEFINED DATA)
    set(samples --weights "${WEIGHTS}" --data "${DATA}")
  endif()
  draw("${RULES}" "${PREFIX}" ${samples})
  file(GLOB kept RELATIVE "${PICTURES}" "${PICTURES}/*.svg")
  file(GLOB written RELATIVE "${WORK}" "${WORK}/*.svg")
  list(SORT kept)
  list(SORT written)
  if(NOT kept STREQUAL written)
    message(SEND_ERROR "the command writes ${written}; the repository keeps ${kept}")
  endif()
  foreach(name IN LISTS kept)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${PICTURES}/${name}"
                            "${WORK}/${name}" RESULT_VARIABLE differs)
    if(differs)
      message(SEND_ERROR "${PICTURES}/${name} differs from what the command writes now; "
                         "run it again in that folder (see README.md)")
    endif()
  endforeach()
elseif(MODE STREQUAL "xml")
  if(NOT XMLLINT)
    message("xmllint not installed: skipped (Debian package libxml2-utils)")
    return()
  endif()
  foreach(rules IN LISTS RULES)
    get_filename_component(stem "${rules}" NAME_WE)
    draw("${rules}" "${stem}")
  endforeach()
  file(GLOB written "${WORK}/*.svg")
  if(DEFINED PICTURES)
    file(GLOB_RECURSE kept "${PICTURES}/*.svg")
    list(APPEND written ${kept})
  endif()
  list(LENGTH written count)
  if(count EQUAL 0)
    message(FATAL_ERROR "the command wrote no SVG file")
  endif()
  foreach(svg IN LISTS written)
    execute_process(COMMAND "${XMLLINT}" --noout "${svg}" RESULT_VARIABLE code ERROR_VARIABLE err)
    if(NOT code EQUAL 0)
      message(SEND_ERROR "${svg} is not well-formed XML:\n${err}")
    endif()
  endforeach()
  message("well-formed: ${count} SVG files")
else()
  message(FATAL_ERROR "MODE must be pictures or xml")
endif()
