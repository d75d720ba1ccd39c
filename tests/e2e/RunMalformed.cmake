# Runs the Glean program on every damaged weight file of a folder and checks that each run ends
# the way a failure must: exit code 1 (never a signal), one report (a syntax message on standard
# output, or a report on standard error), and no rule file.
#
#   cmake -DGLEAN=<program> -DFOLDER=<folder of *.wts> -DWORK=<scratch folder> -P RunMalformed.cmake

file(GLOB weight_files "${FOLDER}/*.wts")
list(LENGTH weight_files count)
if(count EQUAL 0)
  message(FATAL_ERROR "no weight files in ${FOLDER}")
endif()

foreach(weights IN LISTS weight_files)
  get_filename_component(name "${weights}" NAME)
  file(REMOVE_RECURSE "${WORK}")
  file(MAKE_DIRECTORY "${WORK}")
  file(WRITE "${WORK}/param.txt" "WeightFile = ${weights}\nRuleFile = rules.out\n")
  execute_process(COMMAND "${GLEAN}" param.txt WORKING_DIRECTORY "${WORK}"
                  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT code STREQUAL "1")
    message(SEND_ERROR "${name}: exit code ${code}, expected 1\n${out}${err}")
  elseif(out STREQUAL "" AND err STREQUAL "")
    message(SEND_ERROR "${name}: the run failed without a message")
  elseif(NOT out STREQUAL "" AND NOT err STREQUAL "")
    message(SEND_ERROR "${name}: reports on both streams:\n${out}${err}")
  endif()
  if(EXISTS "${WORK}/rules.out")
    message(SEND_ERROR "${name}: a rule file was written")
  endif()
endforeach()
message(STATUS "${count} damaged weight files, each refused with exit code 1")
