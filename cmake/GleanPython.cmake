# The Python package glean (GLEAN_PYTHON), decided before any library is added: its extension
# module links the static libraries, which must then be position-independent code.
#
# The interpreter is Debian's /usr/bin/python3 where there is one, whatever python3 comes first
# on PATH: a pyenv or virtualenv python3 does not see Debian's numpy, scikit-learn and pytest,
# which the package and its tests use. Set Python3_EXECUTABLE to choose another.
#
# Not in sanitizer builds: a module built with AddressSanitizer only loads into an interpreter
# started with the sanitizer's run-time preloaded, so there the Python tests are left out. Nor,
# by default, when Glean is another project's subproject.

if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
  set(Python3_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "The Python interpreter of the module")
endif()

set(glean_python_default OFF)
if(PROJECT_IS_TOP_LEVEL AND NOT GLEAN_SANITIZE AND NOT GLEAN_FUZZ)
  find_package(Python3 COMPONENTS Interpreter Development.Module QUIET)
  if(Python3_FOUND)
    find_package(pybind11 CONFIG QUIET)
    if(pybind11_FOUND)
      set(glean_python_default ON)
    endif()
  endif()
endif()
option(GLEAN_PYTHON "Build the Python package glean (needs pybind11; not with GLEAN_SANITIZE)"
  ${glean_python_default})

if(GLEAN_PYTHON)
  if(GLEAN_SANITIZE)
    message(FATAL_ERROR "GLEAN_PYTHON cannot be built with GLEAN_SANITIZE: the interpreter would "
      "need the sanitizer's run-time preloaded")
  endif()
  find_package(Python3 COMPONENTS Interpreter Development.Module REQUIRED)
  find_package(pybind11 CONFIG REQUIRED)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)

  # Where `cmake --install` puts the package: the interpreter's own folder for the install
  # prefix where it searches one (/usr/local/lib/python3.11/dist-packages on Debian), else the
  # prefix's site-packages, which then goes on PYTHONPATH.
  execute_process(
    COMMAND ${Python3_EXECUTABLE} -c [=[
import os, sys, sysconfig
prefix = os.path.normpath(sys.argv[1])
found = [p for p in sys.path if p.endswith("-packages") and p.startswith(prefix + os.sep)]
path = found[0] if found else sysconfig.get_path("platlib", "posix_prefix",
                                                 {"base": prefix, "platbase": prefix})
print(os.path.relpath(path, prefix), end="")
]=] ${CMAKE_INSTALL_PREFIX}
    OUTPUT_VARIABLE glean_python_folder RESULT_VARIABLE glean_python_status)
  if(NOT glean_python_status EQUAL 0)
    message(FATAL_ERROR "${Python3_EXECUTABLE} could not name its package folder")
  endif()
  set(GLEAN_PYTHON_INSTALL_DIR ${glean_python_folder} CACHE STRING
    "Where the Python package glean is installed, relative to the install prefix")
endif()
