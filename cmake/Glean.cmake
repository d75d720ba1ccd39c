# Build conventions shared by every folder of the project.

add_compile_options(-Wall -Wextra -Wpedantic)
if(GLEAN_WARNINGS_AS_ERRORS)
  add_compile_options(-Werror)
endif()
# Internal check reports name source units relative to the repository root.
add_compile_options(-fmacro-prefix-map=${PROJECT_SOURCE_DIR}/=)

if(GLEAN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
if(GLEAN_FUZZ)
  # Coverage instrumentation everywhere; only the fuzz targets link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# glean_library(<name> [DEPENDS <libs>...])
# The folder is the library: every .cpp file of the calling folder is one of its units.
function(glean_library name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB units CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(units)
    add_library(${name} STATIC ${units})
    set(scope PUBLIC)
  else()
    # A folder whose units are all headers (or still to come) is an interface library.
    add_library(${name} INTERFACE)
    set(scope INTERFACE)
  endif()
  add_library(glean::${name} ALIAS ${name})
  target_include_directories(${name} ${scope} $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
  target_link_libraries(${name} ${scope} ${ARG_DEPENDS})
endfunction()
