# The installed package: the program, its man pages, every folder library with its headers (see
# glean_export), the umbrella glean::glean, and the CMake package that find_package(Glean) reads.
# Included once every folder has been added.

# The umbrella: every library of the project, for code that wants all of Glean at once.
add_library(GleanLibraries INTERFACE)
add_library(glean::glean ALIAS GleanLibraries)
set_target_properties(GleanLibraries PROPERTIES EXPORT_NAME glean)
get_property(glean_libraries GLOBAL PROPERTY GLEAN_LIBRARIES)
target_link_libraries(GleanLibraries INTERFACE ${glean_libraries})

if(NOT GLEAN_INSTALL)
  return()
endif()

include(CMakePackageConfigHelpers)

install(TARGETS Glean EXPORT GleanTargets RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
install(TARGETS GleanLibraries EXPORT GleanTargets)
file(GLOB glean_man_pages CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/man/*.1)
install(FILES ${glean_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Runtime)
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/glean/examples
  COMPONENT Runtime)

install(EXPORT GleanTargets NAMESPACE glean:: DESTINATION ${GLEAN_INSTALL_CMAKEDIR}
  COMPONENT Development)
configure_package_config_file(cmake/GleanConfig.cmake.in
  ${PROJECT_BINARY_DIR}/GleanConfig.cmake INSTALL_DESTINATION ${GLEAN_INSTALL_CMAKEDIR})
# Before 1.0 a minor version may change the interfaces, so only the same minor version matches.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/GleanConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/GleanConfig.cmake ${PROJECT_BINARY_DIR}/GleanConfigVersion.cmake
  DESTINATION ${GLEAN_INSTALL_CMAKEDIR} COMPONENT Development)

# cpack -G DEB: one Debian package with the programs, libraries, headers and man pages.
set(CPACK_PACKAGE_NAME glean)
set(CPACK_PACKAGE_VENDOR "The Glean developers")
set(CPACK_PACKAGE_CONTACT "The Glean developers <glean@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
  "Glean reads a trained fuzzy neural network of the Ombra kind from its weight file and writes the fuzzy if-then rules it has learnt, with the membership functions of its variables, to a rule file. The package also holds the class libraries the program is built on, their headers and a CMake package for find_package(Glean).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
