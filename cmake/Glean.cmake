# Build conventions shared by every folder of the project.

include(GNUInstallDirs)

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

# Installed headers keep their folder below this directory, so that code using an installed
# Glean includes them exactly as the sources do: #include "Ombra/TOmbra.h".
set(GLEAN_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/glean)
set(GLEAN_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Glean)

# glean_export(<target>)
# Makes a library of the calling folder part of the installed package: its headers (the folder's
# *.h files, kept in the folder layout), the library itself under the name glean::<target>, and
# a member of the umbrella glean::glean.
function(glean_export name)
  get_target_property(type ${name} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    set(scope INTERFACE)
  else()
    set(scope PUBLIC)
    # Installed next to other libraries, the archive names say whose they are.
    set_target_properties(${name} PROPERTIES OUTPUT_NAME glean-${name})
  endif()
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  target_sources(${name} ${scope} FILE_SET HEADERS BASE_DIRS ${PROJECT_SOURCE_DIR} FILES ${headers})
  target_include_directories(${name} ${scope}
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}> $<INSTALL_INTERFACE:${GLEAN_INSTALL_INCLUDEDIR}>)
  # The headers are C++20: code that includes them needs it too.
  target_compile_features(${name} ${scope} cxx_std_20)
  set_property(GLOBAL APPEND PROPERTY GLEAN_LIBRARIES ${name})
  if(GLEAN_INSTALL)
    install(TARGETS ${name} EXPORT GleanTargets
      ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
      FILE_SET HEADERS DESTINATION ${GLEAN_INSTALL_INCLUDEDIR} COMPONENT Development)
  endif()
endfunction()

# glean_library(<name> [DEPENDS <libs>...])
# The folder is the library: every .cpp file of the calling folder is one of its units, every .h
# file one of its public headers.
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
  target_link_libraries(${name} ${scope} ${ARG_DEPENDS})
  glean_export(${name})
endfunction()
