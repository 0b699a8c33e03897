# SPDX-License-Identifier: MIT
# Makes the Debian package of the build tree with cpack, unpacks it with
# dpkg-deb -x into a scratch folder, checks its file list and control fields,
# and runs the unpacked zelq -1.5 (it finds its libraries beside itself).
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -DCPACK=... -DDPKG_DEB=... -P check_deb.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/install_steps.cmake)

run("cpack" ${CPACK} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}/out)
file(GLOB debs ${WORK_DIR}/out/zelq_*.deb)
list(LENGTH debs n)
if(NOT n EQUAL 1)
  message(FATAL_ERROR "cpack made '${debs}', want one zelq_*.deb")
endif()

run("dpkg-deb -f" ${DPKG_DEB} -f ${debs} Package Version Depends Section)
foreach(field "Package: zelq" "Version: [0-9]+\\.[0-9]+\\.[0-9]+" "Depends: libc6" "Section: math")
  if(NOT run_out MATCHES "${field}")
    message(FATAL_ERROR "control fields lack '${field}':\n${run_out}")
  endif()
endforeach()

set(root ${WORK_DIR}/root)
run("dpkg-deb -x" ${DPKG_DEB} -x ${debs} ${root})
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${root} ${root}/*)
list(SORT files)
string(JOIN "\n" listing ${files})
foreach(want "usr/bin/zelq" "usr/include/zelq.h" "usr/lib[^\n]*/libzelq.so" "usr/lib[^\n]*/libqfloat.so"
        "usr/lib[^\n]*/pkgconfig/zelq.pc" "usr/lib[^\n]*/cmake/zelq/zelqConfig.cmake"
        "usr/lib[^\n]*/cmake/zelq/zelqConfigVersion.cmake" "usr/share/man/man1/zelq.1"
        "usr/share/doc/zelq/LICENSE" "usr/share/doc/zelq/examples/phi.c")
  if(NOT listing MATCHES "(^|\n)${want}(\n|$)")
    message(FATAL_ERROR "the package has no ${want}; it holds:\n${listing}")
  endif()
endforeach()
foreach(f ${files})
  if(NOT f MATCHES "^usr/(bin|include|lib|share)/")
    message(FATAL_ERROR "the package puts ${f} outside /usr/{bin,include,lib,share}")
  endif()
endforeach()

run("unpacked zelq -1.5" ${root}/usr/bin/zelq -1.5)
expect_phi("unpacked zelq -1.5" "${run_out}")
message(STATUS "package ${debs}:\n${listing}")
