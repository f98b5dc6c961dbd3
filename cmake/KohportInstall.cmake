# Installation: the converter, the static library, its headers (under
# include/kohport/, keeping the subsystem folders), a CMake package
# (kohport::kohport) and a pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS kohport_lib EXPORT kohportTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS kohport RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Headers that only the library's own sources include are not installed: those
# whose first line starts with "// Internal" (the best-match kernels, block
# storage and shape helpers), and the ones listed here (the writer's visitors
# and output sink, the legacy reader's file and number scanners and format
# constants). No installed header includes them, which
# tests/installation/check.sh proves by compiling every installed header on
# its own.
set(KOHPORT_INTERNAL_HEADERS
  FileHandler/NetworkWriter.h
  FileHandler/OutputFile.h
  legacy/FileImage.h
  legacy/LegacyFormat.h
  legacy/StreamNumbers.h)
file(GLOB_RECURSE _kohport_headers RELATIVE ${PROJECT_SOURCE_DIR} CONFIGURE_DEPENDS
     common/*.h NeuralNets/*.h FileHandler/*.h KQmessage/*.h DataObject/*.h legacy/*.h)
foreach(header IN LISTS _kohport_headers)
  file(STRINGS ${PROJECT_SOURCE_DIR}/${header} first_line LIMIT_COUNT 1)
  if(first_line MATCHES "^// Internal")
    list(APPEND KOHPORT_INTERNAL_HEADERS ${header})
  endif()
endforeach()
set(_kohport_header_excludes)
foreach(header IN LISTS KOHPORT_INTERNAL_HEADERS)
  string(REPLACE "." "\\." header_regex "/${header}$")
  list(APPEND _kohport_header_excludes REGEX "${header_regex}" EXCLUDE)
endforeach()
install(DIRECTORY common NeuralNets FileHandler KQmessage DataObject legacy
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kohport
        FILES_MATCHING PATTERN "*.h" ${_kohport_header_excludes})

set(KOHPORT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kohport)
install(EXPORT kohportTargets NAMESPACE kohport:: DESTINATION ${KOHPORT_CMAKE_DIR})
configure_package_config_file(cmake/kohportConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/kohportConfig.cmake INSTALL_DESTINATION ${KOHPORT_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/kohportConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kohportConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/kohportConfigVersion.cmake
        DESTINATION ${KOHPORT_CMAKE_DIR})

# pkg-config paths are absolute install directories.
set(KOHPORT_PC_LIBDIR ${CMAKE_INSTALL_FULL_LIBDIR})
set(KOHPORT_PC_INCLUDEDIR ${CMAKE_INSTALL_FULL_INCLUDEDIR}/kohport)
configure_file(cmake/kohport.pc.in ${CMAKE_CURRENT_BINARY_DIR}/kohport.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kohport.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(FILES docs/kohport.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md CHANGELOG.md docs/file-formats.md docs/library-guide.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES examples/map_rows.cpp examples/iris_6x6.kmap examples/iris_6x6_full.kmap
              examples/iris_data.txt examples/iris_labels.txt
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
