# The version lives in one place, the project() call of the top-level
# CMakeLists.txt; the package files are configured from it, and the man page,
# which is kept as written text, must name the same version in its title line.
# Usage: cmake -DVERSION=<project version> -DMAN_PAGE=<docs/kohport.1> -P check_version.cmake
file(STRINGS "${MAN_PAGE}" title REGEX "^\\.TH ")
if(NOT title MATCHES "^\\.TH KOHPORT 1 \"[^\"]*\" \"kohport ([^\"]*)\"")
  message(FATAL_ERROR "${MAN_PAGE}: no title line of the form .TH KOHPORT 1 \"date\" \"kohport X.Y.Z\"")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
  message(FATAL_ERROR
    "${MAN_PAGE} names version ${CMAKE_MATCH_1}, the project is version ${VERSION}")
endif()
message(STATUS "man page and project agree on version ${VERSION}")
