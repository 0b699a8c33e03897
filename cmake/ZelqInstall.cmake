# SPDX-License-Identifier: MIT
# Install rules. Elsewhere than Windows: libzelq.so with the libqfloat.so it
# needs, the header zelq.h, the zelq command and its manual page, a
# pkg-config file (zelq.pc) and a CMake package (find_package(zelq) gives
# zelq::zelq), all relocatable.
# For Windows: the folder that the zip hands out (cmake/ZelqPackage.cmake):
# win32/ or win64/ with zelq.dll, qfloat.dll, zelq.exe and an import library
# for C hosts (component "binaries"), and beside them the host examples, the
# header and the install text (component "hosts").
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(_zelq_examples ${PROJECT_SOURCE_DIR}/examples/zelq.bas ${PROJECT_SOURCE_DIR}/examples/zelq_maple.mpl
                   ${PROJECT_SOURCE_DIR}/examples/phi.c)

if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(ZELQ_WINDOWS_DIR win32)
  else()
    set(ZELQ_WINDOWS_DIR win64)
  endif()
  install(TARGETS zelq zelq_cli RUNTIME DESTINATION ${ZELQ_WINDOWS_DIR} COMPONENT binaries
          ARCHIVE DESTINATION ${ZELQ_WINDOWS_DIR} COMPONENT binaries)
  install(TARGETS qfloat RUNTIME DESTINATION ${ZELQ_WINDOWS_DIR} COMPONENT binaries)
  install(FILES ${PROJECT_SOURCE_DIR}/src/exports/zelq.h ${_zelq_examples} ${PROJECT_SOURCE_DIR}/LICENSE
          DESTINATION . COMPONENT hosts)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/windows-install.txt DESTINATION . RENAME INSTALL.txt COMPONENT hosts)
  return()
endif()

# libzelq.so finds libqfloat.so beside it, the command finds both in the
# library folder, wherever the tree is installed.
file(RELATIVE_PATH _zelq_bin_to_lib /${CMAKE_INSTALL_BINDIR} /${CMAKE_INSTALL_LIBDIR})
set_target_properties(zelq qfloat PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS zelq qfloat LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/src/exports/zelq.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(TARGET zelq_cli)
  set_target_properties(zelq_cli PROPERTIES INSTALL_RPATH "$ORIGIN/${_zelq_bin_to_lib}")
  install(TARGETS zelq_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${_zelq_examples} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/zelq.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# CMake package: the configured template still names the library files
# through generator expressions, resolved at generation time.
set(ZELQ_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zelq)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/zelqConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/zelqConfig.cmake.configured INSTALL_DESTINATION ${ZELQ_CMAKE_DIR}
                              PATH_VARS CMAKE_INSTALL_LIBDIR CMAKE_INSTALL_INCLUDEDIR)
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/zelqConfig.cmake INPUT ${PROJECT_BINARY_DIR}/zelqConfig.cmake.configured)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zelqConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zelqConfig.cmake ${PROJECT_BINARY_DIR}/zelqConfigVersion.cmake
        DESTINATION ${ZELQ_CMAKE_DIR})

# pkg-config file, located from its own folder so that the tree can move.
file(RELATIVE_PATH ZELQ_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" ZELQ_PC_TO_PREFIX "${ZELQ_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/zelq.pc.in ${PROJECT_BINARY_DIR}/zelq.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zelq.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
