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
  # The VBA editor imports a module correctly only with CRLF line ends, and
  # Notepad before Windows 10 1809 shows nothing else as lines: those two
  # files go into the zip with CRLF, the rest as they are.
  set(_zelq_crlf_dir ${PROJECT_BINARY_DIR}/crlf)
  foreach(_zelq_pair "examples/zelq.bas;zelq.bas" "docs/windows-install.txt;INSTALL.txt")
    list(GET _zelq_pair 0 _zelq_src)
    list(GET _zelq_pair 1 _zelq_dst)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${_zelq_src})
    file(READ ${PROJECT_SOURCE_DIR}/${_zelq_src} _zelq_text)
    string(REPLACE "\r\n" "\n" _zelq_text "${_zelq_text}")
    string(REPLACE "\n" "\r\n" _zelq_text "${_zelq_text}")
    file(WRITE ${_zelq_crlf_dir}/${_zelq_dst} "${_zelq_text}")
  endforeach()
  list(REMOVE_ITEM _zelq_examples ${PROJECT_SOURCE_DIR}/examples/zelq.bas)
  install(FILES ${PROJECT_SOURCE_DIR}/src/exports/zelq.h ${_zelq_examples} ${PROJECT_SOURCE_DIR}/LICENSE
                ${_zelq_crlf_dir}/zelq.bas ${_zelq_crlf_dir}/INSTALL.txt
          DESTINATION . COMPONENT hosts)
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
