# Runs the Glean program on one end-to-end case and compares everything it produced.
#
#   cmake -DGLEAN=<program> -DCASE=<case folder> -DWORK=<scratch folder> [-DDATA=<folder>]
#         [-DARGS=<arguments>] [-DCHECK_FILES=<names>] -P RunCase.cmake
#
# A case folder holds the input files, and optionally:
#   uses             names of files, one per line, to copy from the shared DATA folder
#   args             the command-line arguments, one per line (default: ARGS, or else the single
#                    word param.txt)
#   expected.code    the exit code (default 0)
#   expected.stdout  standard output, byte for byte (default: nothing)
#   expected.stderr  standard error, byte for byte (default: nothing)
#   expected.stderr-regex  instead: a regular expression that standard error must match whole
#   expected/<file>  a file the run must leave in the scratch folder, byte for byte
#   absent           names of files, one per line, that the run must not create
# CHECK_FILES names files of the case folder itself that the run must write anew, byte for byte
# (removed from the scratch folder before the run).

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(GLOB inputs LIST_DIRECTORIES false "${CASE}/*")
file(COPY ${inputs} DESTINATION "${WORK}")
if(EXISTS "${CASE}/uses")
  file(STRINGS "${CASE}/uses" shared_files)
  foreach(name IN LISTS shared_files)
    file(COPY "${DATA}/${name}" DESTINATION "${WORK}")
  endforeach()
endif()
foreach(name IN LISTS CHECK_FILES)
  file(REMOVE "${WORK}/${name}")
endforeach()

set(arguments param.txt)
if(DEFINED ARGS)
  set(arguments ${ARGS})
elseif(EXISTS "${CASE}/args")
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
if(EXISTS "${CASE}/expected.stderr-regex")
  file(READ "${CASE}/expected.stderr-regex" pattern)
  string(STRIP "${pattern}" pattern)
  if(NOT err MATCHES "^${pattern}\n$")
    message(SEND_ERROR "standard error does not match ${pattern}:\n${err}")
  endif()
else()
  expect_text("standard error" "${err}" "${CASE}/expected.stderr")
endif()

file(GLOB produced_files RELATIVE "${CASE}/expected" "${CASE}/expected/*")
foreach(name IN LISTS produced_files)
  if(NOT EXISTS "${WORK}/${name}")
    message(SEND_ERROR "the run did not write ${name}")
  else()
    file(READ "${WORK}/${name}" actual)
    expect_text("file ${name}" "${actual}" "${CASE}/expected/${name}")
  endif()
endforeach()

foreach(name IN LISTS CHECK_FILES)
  if(NOT EXISTS "${WORK}/${name}")
    message(SEND_ERROR "the run did not write ${name}")
  else()
    file(READ "${WORK}/${name}" actual)
    expect_text("file ${name}" "${actual}" "${CASE}/${name}")
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
