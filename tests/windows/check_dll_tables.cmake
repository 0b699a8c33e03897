# SPDX-License-Identifier: MIT
# Checks the export and import tables of zelq.dll and qfloat.dll as
# `objdump -p` prints them, the same for the 32-bit and the 64-bit pair.
# Run with -DOBJDUMP=... -DZELQ_DLL=... -DQFLOAT_DLL=... -DARCH=win32|win64
set(failures 0)
macro(fail msg)
  message(SEND_ERROR "${msg}")
  math(EXPR failures "${failures} + 1")
endmacro()

function(read_tables dll out_var)
  execute_process(COMMAND ${OBJDUMP} -p ${dll} OUTPUT_VARIABLE text RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${dll} failed")
  endif()
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

# The export names with their unbiased ordinals, in the order of the name
# pointer table, as "index name" items.
function(export_names text out_var)
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)*" block "${text}")
  string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" lines "${block}")
  set(items)
  foreach(line ${lines})
    string(REGEX REPLACE "^\\[ *([0-9]+)\\] (.*)$" "\\1 \\2" item "${line}")
    list(APPEND items "${item}")
  endforeach()
  set(${out_var} "${items}" PARENT_SCOPE)
endfunction()

function(import_dlls text out_var)
  string(REGEX MATCHALL "DLL Name: [^\n]+" lines "${text}")
  set(names)
  foreach(line ${lines})
    string(REGEX REPLACE "^DLL Name: " "" name "${line}")
    list(APPEND names "${name}")
  endforeach()
  set(${out_var} "${names}" PARENT_SCOPE)
endfunction()

# PE32 (magic 010b) for 32-bit Windows, PE32+ (020b) for 64-bit.
if(ARCH STREQUAL "win64")
  set(magic "020b")
else()
  set(magic "010b")
endif()

# --- zelq.dll ----------------------------------------------------------------
read_tables(${ZELQ_DLL} zelq)
foreach(pattern
        "\nMagic[ \t]+${magic}"
        "Time/Date[ \t]+Thu Jan  1 00:00:00 1970"
        "Export Flags[ \t]+0\n"
        "The Export Tables[^\n]*\n\nExport Flags[ \t]+0\nTime/Date stamp[ \t]+0\nMajor/Minor[ \t]+0/0\n"
        "Name[ \t]+[0-9a-f]+ zelq.dll\n"
        "Ordinal Base[ \t]+1\n"
        "Export Address Table[ \t]+0000000d\n"
        "\\[Name Pointer/Ordinal\\] Table[ \t]+0000000d\n")
  if(NOT zelq MATCHES "${pattern}")
    fail("zelq.dll: no match for '${pattern}'")
  endif()
endforeach()
export_names("${zelq}" names)
# Names in byte order, each with its ordinal less one: the five Phi entries
# at 0-4 for good, the inverse and log entries after them at 5-10, the
# many-value entries at 11-12.
set(want "0 LibMain" "1 asymptSeries_length" "2 foo" "5 log_ndtr_Excel" "6 log_ndtr_Maple" "7 ndtri_Excel"
         "8 ndtri_Maple" "9 ndtri_exp_Excel" "10 ndtri_exp_Maple" "3 str_Zelq_str_Excel" "4 str_Zelq_str_Maple"
         "11 zelq_many_double" "12 zelq_many_text")
if(NOT names STREQUAL want)
  fail("zelq.dll exports '${names}', want '${want}'")
endif()
import_dlls("${zelq}" dlls)
list(SORT dlls)
if(NOT dlls STREQUAL "KERNEL32.dll;msvcrt.dll;qfloat.dll")
  fail("zelq.dll imports from '${dlls}', want qfloat.dll, msvcrt.dll and KERNEL32.dll only")
endif()
foreach(fn calloc free strlen)
  if(NOT zelq MATCHES "DLL Name: msvcrt.dll\n[^\n]*\n([^\n]+\n)*[^\n]*[0-9]+  ${fn}\n")
    fail("zelq.dll does not import ${fn} from msvcrt.dll")
  endif()
endforeach()

# --- qfloat.dll ----------------------------------------------------------------
read_tables(${QFLOAT_DLL} qf)
foreach(pattern "\nMagic[ \t]+${magic}" "Time/Date[ \t]+Thu Jan  1 00:00:00 1970" "Name[ \t]+[0-9a-f]+ qfloat.dll\n")
  if(NOT qf MATCHES "${pattern}")
    fail("qfloat.dll: no match for '${pattern}'")
  endif()
endforeach()
export_names("${qf}" names)
set(got)
foreach(item ${names})
  string(REGEX REPLACE "^[0-9]+ " "" n "${item}")
  list(APPEND got ${n})
endforeach()
set(want QFLT_EPSILON __op_cast_int_qfloat __op_divide_pqfloat_pqfloat __op_equal_pqfloat_pqfloat
         __op_less_int_pqfloat __op_less_pqfloat_int __op_less_pqfloat_pqfloat __op_lessequal_pqfloat_pqfloat
         __op_minus_pqfloat __op_minus_pqfloat_pqfloat __op_multiply_pqfloat_pqfloat __op_plus_pqfloat_pqfloat
         _asctoq _expq _logq _ltoq _qabs _qtoasc _qtof _qtoi)
if(NOT got STREQUAL want)
  fail("qfloat.dll exports '${got}', want '${want}'")
endif()
import_dlls("${qf}" dlls)
list(SORT dlls)
if(NOT dlls STREQUAL "KERNEL32.dll;msvcrt.dll")
  fail("qfloat.dll imports from '${dlls}', want msvcrt.dll and KERNEL32.dll only")
endif()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} table check(s) failed")
endif()
message(STATUS "${ARCH} zelq.dll and qfloat.dll tables as required")
