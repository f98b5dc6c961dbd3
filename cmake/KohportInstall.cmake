# Installation: the converter, the static library, its headers (under
# include/kohport/, keeping the subsystem folders), a CMake package
# (kohport::kohport) and a pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS kohport_lib EXPORT kohportTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS kohport RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY common NeuralNets FileHandler KQmessage DataObject legacy
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kohport
        FILES_MATCHING PATTERN "*.h")

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

if(EXISTS ${PROJECT_SOURCE_DIR}/docs/kohport.1)
  install(FILES docs/kohport.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
