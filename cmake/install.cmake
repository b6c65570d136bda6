# Installs the libraries, the public headers, the shell, the bundled plugin
# with its files, a CMake package (zelobjsys::zelobjsys, zelobjsys::zelhost)
# and pkg-config files. Everything in the prefix refers to the rest of it by
# relative paths, so the prefix may be moved.
set(ZEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zelobjsys)

install(TARGETS zelhost zelobjsys EXPORT zelobjsysTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/include/zelhost ${CMAKE_SOURCE_DIR}/include/zelobjsys
                  ${CMAKE_BINARY_DIR}/include/zelhost ${CMAKE_BINARY_DIR}/include/zelobjsys
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")
install(EXPORT zelobjsysTargets NAMESPACE zelobjsys:: DESTINATION ${ZEL_CMAKE_DIR})

configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/zelobjsysConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/zelobjsysConfig.cmake
                              INSTALL_DESTINATION ${ZEL_CMAKE_DIR}
                              PATH_VARS CMAKE_INSTALL_BINDIR ZEL_PLUGIN_DIR)
# Before 1.0 a minor version may break products; from 1.0 on, the major one.
if(PROJECT_VERSION_MAJOR EQUAL 0)
  set(ZEL_COMPATIBILITY SameMinorVersion)
else()
  set(ZEL_COMPATIBILITY SameMajorVersion)
endif()
write_basic_package_version_file(${CMAKE_BINARY_DIR}/zelobjsysConfigVersion.cmake
                                 COMPATIBILITY ${ZEL_COMPATIBILITY})
install(FILES ${CMAKE_BINARY_DIR}/zelobjsysConfig.cmake
              ${CMAKE_BINARY_DIR}/zelobjsysConfigVersion.cmake
        DESTINATION ${ZEL_CMAKE_DIR})

# pkg-config: ${pcfiledir} keeps the files relocatable.
file(RELATIVE_PATH ZEL_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" ZEL_PC_TO_PREFIX "${ZEL_PC_TO_PREFIX}")
foreach(pc zelhost zelobjsys)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/${pc}.pc.in ${CMAKE_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()
