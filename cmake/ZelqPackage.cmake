# SPDX-License-Identifier: MIT
# Packages made by CPack.
# Elsewhere: a Debian package, zelq_VERSION_ARCH.deb, of what the install rules
# install (library, header, pkg-config file, CMake package, command, manual
# page, examples), under /usr: cpack -G DEB in the build tree.
# Windows: one zip, zelq-VERSION-windows.zip, holding win64/ and win32/ (the
# binaries of this build and of the other architecture's build tree,
# ZELQ_OTHER_WINDOWS_BUILD) beside the host examples and the install text.
# The target windows_folder brings the other build up to date, makes the zip
# and unpacks it into the build tree.
if(WIN32)
  if(ZELQ_WINDOWS_DIR STREQUAL "win64")
    set(_zelq_other mingw)
  else()
    set(_zelq_other mingw64)
  endif()
  set(ZELQ_OTHER_WINDOWS_BUILD ${PROJECT_SOURCE_DIR}/build/${_zelq_other}
      CACHE PATH "Build tree of the other Windows architecture, whose binaries the zip holds too")
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME zelq)
  set(_zelq_zip zelq-${PROJECT_VERSION}-windows)
  set(CPACK_PACKAGE_FILE_NAME ${_zelq_zip})
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};zelq;ALL;/"
                                   "${ZELQ_OTHER_WINDOWS_BUILD};zelq;binaries;/")
  include(CPack)

  add_custom_target(windows_folder
    COMMAND ${CMAKE_COMMAND} -DOTHER=${ZELQ_OTHER_WINDOWS_BUILD} -DPRESET=${_zelq_other}
            -P ${PROJECT_SOURCE_DIR}/cmake/ZelqBuildOther.cmake
    COMMAND ${CMAKE_CPACK_COMMAND} --config ${PROJECT_BINARY_DIR}/CPackConfig.cmake
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${_zelq_zip}
    COMMAND ${CMAKE_COMMAND} -E tar xf ${_zelq_zip}.zip
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
    COMMENT "${_zelq_zip}.zip and the folder ${_zelq_zip}"
    VERBATIM)
  add_dependencies(windows_folder zelq qfloat zelq_cli)
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelq)
set(CPACK_PACKAGE_VENDOR "zelq")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Standard normal distribution function Phi(x) to more than 100 digits")
set(CPACK_PACKAGE_DESCRIPTION "zelq evaluates Phi(x) = P(N(0,1) <= x) on a 352-bit binary floating-point type,
with numbers passed as decimal text: the library libzelq.so with its header,
pkg-config file and CMake package, and the zelq command.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The zelq developers <zelq@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION math)
# From dpkg-shlibdeps over the three binaries: they need nothing but glibc.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34)")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
include(CPack)
