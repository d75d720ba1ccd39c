# Octave's fuzzy logic toolkit and fuzzylite agree on the FIS export of the bundled example.
#
#   cmake -DTOOL=<GleanTool> -DFUZZYLITE=<fuzzylite> -DOCTAVE=<octave or empty> -DSOURCE=<repo>
#         -DWORK=<scratch folder> -DCONJUNCTION=minimum|product -P OctaveCheck.cmake
#
# Where Octave or its toolkit is absent it says so ("... not installed: skipped"), which CTest
# reports as a skipped test.
if(NOT OCTAVE)
  message("Octave is not installed: skipped")
  return()
endif()
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
execute_process(COMMAND "${TOOL}" export "${SOURCE}/examples/fan/fan.rul" "${WORK}/fan.fis"
                        --conjunction ${CONJUNCTION} RESULT_VARIABLE code)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "export failed: ${code}")
endif()
set(grid "")
foreach(i RANGE 0 10)
  foreach(j RANGE 0 10)
    math(EXPR a "${i} * 10")
    math(EXPR b "${j} * 10")
    string(APPEND grid "${a}e-2 ${b}e-2\n")
  endforeach()
endforeach()
file(WRITE "${WORK}/grid.fld" "${grid}")
execute_process(COMMAND "${FUZZYLITE}" -i "${WORK}/fan.fis" -if fis -of fld -d "${WORK}/grid.fld"
                        -decimals 12 -dheader false -dinputs false
                OUTPUT_FILE "${WORK}/fuzzylite.txt" RESULT_VARIABLE code)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "fuzzylite failed: ${code}")
endif()
execute_process(COMMAND "${OCTAVE}" --no-gui --quiet "${CMAKE_CURRENT_LIST_DIR}/OctaveCheck.m"
                        "${WORK}/fan.fis" "${WORK}/grid.fld" "${WORK}/fuzzylite.txt"
                RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}")
if(code EQUAL 77)
  message("Octave's fuzzy logic toolkit is not installed: skipped")
elseif(NOT code EQUAL 0)
  message(FATAL_ERROR "Octave and fuzzylite disagree (${code}):\n${out}${err}")
endif()
