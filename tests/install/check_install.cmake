# SPDX-License-Identifier: MIT
# Installs the build tree into a fresh prefix and uses the installed zelq the
# ways a user would: the zelq command, a CMake project with find_package, and
# a direct compile with pkg-config. Each must print Phi(-1.5).
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -DPHI_SOURCE=... -DCONSUMER_DIR=...
#         -DC_COMPILER=... -DGENERATOR=... [-DC_FLAGS=...] [-DPKG_CONFIG=...] -P check_install.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/install_steps.cmake)
set(prefix ${WORK_DIR}/prefix)

run("cmake --install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(f include/zelq.h bin/zelq)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "${f} is not installed")
  endif()
endforeach()
file(GLOB_RECURSE pc_files ${prefix}/zelq.pc)
file(GLOB_RECURSE config_files ${prefix}/zelqConfig.cmake)
if(NOT pc_files OR NOT config_files)
  message(FATAL_ERROR "zelq.pc or zelqConfig.cmake is not installed")
endif()
get_filename_component(pc_dir ${pc_files} DIRECTORY)
get_filename_component(lib_dir ${pc_dir} DIRECTORY)

# The command finds its libraries without any library path set.
run("installed zelq" ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH ${prefix}/bin/zelq -1.5)
expect_phi("installed zelq command" "${run_out}")

# find_package(zelq) in a separate project.
run("consumer configure" ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/consumer -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix} -DPHI_SOURCE=${PHI_SOURCE} -DCMAKE_C_COMPILER=${C_COMPILER}
    "-DCMAKE_C_FLAGS=${C_FLAGS}")
run("consumer build" ${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
run("consumer run" ${WORK_DIR}/consumer/phi -1.5)
expect_phi("find_package consumer" "${run_out}")

# pkg-config --cflags --libs zelq, then an ordinary compile.
if(NOT PKG_CONFIG)
  set(PKG_CONFIG pkg-config)
endif()
run("pkg-config" ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pc_dir} ${PKG_CONFIG} --cflags --libs zelq)
string(STRIP "${run_out}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
separate_arguments(c_flags UNIX_COMMAND "${C_FLAGS}")
run("pkg-config compile" ${C_COMPILER} -std=c11 ${c_flags} -o ${WORK_DIR}/phi_pc ${PHI_SOURCE} ${flags})
run("pkg-config consumer run" ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${lib_dir} ${WORK_DIR}/phi_pc -1.5)
expect_phi("pkg-config consumer" "${run_out}")
