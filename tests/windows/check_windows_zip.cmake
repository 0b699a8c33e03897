# SPDX-License-Identifier: MIT
# Checks the Windows zip that the target windows_folder makes: its file list,
# the line ends of its texts, that win32/ and win64/ hold DLLs of their own
# architecture, and that a C host links against each folder's import library.
# Run with -DZIP=... -DOBJDUMP32=... -DOBJDUMP64=... -DCC32=... -DCC64=... -DWORK=...
if(NOT EXISTS ${ZIP})
  message(FATAL_ERROR "${ZIP} is missing: cmake --build <this build> --target windows_folder")
endif()
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${ZIP} WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot unpack ${ZIP}")
endif()
get_filename_component(top ${ZIP} NAME_WLE)
set(root ${WORK}/${top})

file(GLOB_RECURSE files RELATIVE ${root} ${root}/*)
list(SORT files)
set(want INSTALL.txt LICENSE phi.c win32/libzelq.dll.a win32/qfloat.dll win32/zelq.dll win32/zelq.exe
         win64/libzelq.dll.a win64/qfloat.dll win64/zelq.dll win64/zelq.exe zelq.bas zelq.h zelq_maple.mpl)
if(NOT files STREQUAL want)
  message(FATAL_ERROR "${top}.zip holds '${files}', want '${want}'")
endif()

# The texts for Windows programs have CRLF line ends; zelq.bas is plain ASCII
# as well (the VBA editor reads a module in the ANSI code page) and starts
# with its module name. The files are read as hex ("0d 0a " a CRLF), since
# file(READ) drops carriage returns.
foreach(text zelq.bas INSTALL.txt)
  file(READ ${root}/${text} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\1 " bytes "${hex}")
  string(REPLACE "0d 0a " "" bare "${bytes}")
  if(bare MATCHES "^0a " OR bare MATCHES " 0a ")
    message(FATAL_ERROR "${text} has a line that does not end in CRLF")
  endif()
  if(text STREQUAL "zelq.bas" AND (bytes MATCHES "^[89a-f]" OR bytes MATCHES " [89a-f]"))
    message(FATAL_ERROR "zelq.bas holds bytes outside 7-bit ASCII")
  endif()
endforeach()
file(STRINGS ${root}/zelq.bas first LIMIT_COUNT 1)
if(NOT first STREQUAL "Attribute VB_Name = \"zelq\"")
  message(FATAL_ERROR "zelq.bas starts with '${first}'")
endif()

set(magic_win32 010b)
set(magic_win64 020b)
foreach(arch win32 win64)
  if(arch STREQUAL win32)
    set(objdump ${OBJDUMP32})
    set(cc ${CC32})
  else()
    set(objdump ${OBJDUMP64})
    set(cc ${CC64})
  endif()
  foreach(binary zelq.dll qfloat.dll zelq.exe)
    execute_process(COMMAND ${objdump} -p ${root}/${arch}/${binary} OUTPUT_VARIABLE text RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0 OR NOT text MATCHES "\nMagic[ \t]+${magic_${arch}}")
      message(FATAL_ERROR "${arch}/${binary} is not a ${arch} binary")
    endif()
  endforeach()
  # A C host compiled against zelq.h links through the folder's import library.
  execute_process(COMMAND ${cc} -O2 -o ${WORK}/phi-${arch}.exe ${root}/phi.c -I${root} -L${root}/${arch} -lzelq
                  RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "phi.c does not link against ${arch}/libzelq.dll.a: ${err}")
  endif()
endforeach()
message(STATUS "${top}.zip: ${files}")
