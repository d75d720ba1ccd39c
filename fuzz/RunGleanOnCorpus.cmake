# Runs the Glean program once on every file of a fuzz target's seed and corpus folders, as its
# weight file through a parameter file, and fails when any run ends other than with exit code 0
# or 1 (a signal, or another code): whatever the input, the program succeeds or reports why not.
#
#   cmake -DGLEAN=<program> -DSEEDS=<folder> -DCORPUS=<folder> -DWORK=<scratch folder>
#         -P RunGleanOnCorpus.cmake

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(inputs "")
foreach(folder IN ITEMS "${SEEDS}" "${CORPUS}")
  file(GLOB files LIST_DIRECTORIES false "${folder}/*")
  list(APPEND inputs ${files})
endforeach()
list(LENGTH inputs count)
if(count EQUAL 0)
  message(FATAL_ERROR "no inputs in ${SEEDS} and ${CORPUS}")
endif()

set(failures 0)
set(successes 0)
foreach(input IN LISTS inputs)
  file(WRITE "${WORK}/param.txt" "WeightFile = ${input}\nRuleFile = ${WORK}/rules.txt\n")
  execute_process(
    COMMAND "${GLEAN}" param.txt
    WORKING_DIRECTORY "${WORK}"
    RESULT_VARIABLE code
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err)
  if(code STREQUAL "0")
    math(EXPR successes "${successes} + 1")
  elseif(NOT code STREQUAL "1")
    math(EXPR failures "${failures} + 1")
    message(SEND_ERROR "${input}: ended with '${code}'\n${out}${err}")
  endif()
endforeach()
message(STATUS "${count} inputs, ${successes} succeeded, ${failures} ended abnormally")
