# Runs GleanTool on one end-to-end case whose input files may live elsewhere in the repository.
#
#   cmake -DGLEAN=<program> -DCASE=<case folder> -DWORK=<scratch folder> -DSOURCE=<repository>
#         -P StageCase.cmake
#
# Besides what tests/e2e/RunCase.cmake reads, a case folder may hold `inputs`: repository-relative
# file names, one per line, copied beside the case's own files before the run.

set(stage "${WORK}.stage")
file(REMOVE_RECURSE "${stage}")
file(COPY "${CASE}/" DESTINATION "${stage}")
if(EXISTS "${CASE}/inputs")
  file(STRINGS "${CASE}/inputs" inputs)
  foreach(input IN LISTS inputs)
    file(COPY "${SOURCE}/${input}" DESTINATION "${stage}")
  endforeach()
endif()
set(CASE "${stage}")
include("${SOURCE}/tests/e2e/RunCase.cmake")
