# Runs the Glean program on one end-to-end case and compares everything it produced.
#
#   cmake -DGLEAN=<program> -DCASE=<case folder> -DWORK=<scratch folder> -P RunCase.cmake
#
# A case folder holds the input files, and optionally:
#   args             the command-line arguments, one per line (default: the single word param.txt)
#   expected.code    the exit code (default 0)
#   expected.stdout  standard output, byte for byte (default: nothing)
#   expected.stderr  standard error, byte for byte (default: nothing)
#   expected/<file>  a file the run must leave in the scratch folder, byte for byte
#   absent           names of files, one per line, that the run must not create

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(GLOB inputs LIST_DIRECTORIES false "${CASE}/*")
file(COPY ${inputs} DESTINATION "${WORK}")

set(arguments param.txt)
if(EXISTS "${CASE}/args")
  file(STRINGS "${CASE}/args" arguments)
endif()

execute_process(
  COMMAND "${GLEAN}" ${arguments}
  WORKING_DIRECTORY "${WORK}"
  RESULT_VARIABLE code
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err)

function(expect_text what actual expected_file)
  set(expected "")
  if(EXISTS "${expected_file}")
    file(READ "${expected_file}" expected)
  endif()
  if(NOT actual STREQUAL expected)
    message(SEND_ERROR "${what} differs.\n--- expected ---\n${expected}--- actual ---\n${actual}---")
  endif()
endfunction()

set(expected_code 0)
if(EXISTS "${CASE}/expected.code")
  file(STRINGS "${CASE}/expected.code" expected_code LIMIT_COUNT 1)
endif()
if(NOT code STREQUAL expected_code)
  message(SEND_ERROR "exit code: expected ${expected_code}, got ${code}")
endif()
expect_text("standard output" "${out}" "${CASE}/expected.stdout")
expect_text("standard error" "${err}" "${CASE}/expected.stderr")

file(GLOB produced_files RELATIVE "${CASE}/expected" "${CASE}/expected/*")
foreach(name IN LISTS produced_files)
  if(NOT EXISTS "${WORK}/${name}")
    message(SEND_ERROR "the run did not write ${name}")
  else()
    file(READ "${WORK}/${name}" actual)
    expect_text("file ${name}" "${actual}" "${CASE}/expected/${name}")
  endif()
endforeach()

if(EXISTS "${CASE}/absent")
  file(STRINGS "${CASE}/absent" absent_files)
  foreach(name IN LISTS absent_files)
    if(EXISTS "${WORK}/${name}")
      message(SEND_ERROR "the run wrote ${name}, which it must not")
    endif()
  endforeach()
endif()
