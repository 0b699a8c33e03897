# SPDX-License-Identifier: MIT
# The one list of zelq's host entries, in ordinal order (ordinal = position
# + 1), each with the argument bytes that the 32-bit standard-call entry
# removes. The five Phi entries come first, in ascending byte order, at
# ordinals 1-5 for good; the inverse and log-scale entries follow at 6-11,
# then the many-value entries at 12-13, in byte order within each group. Every export table of the build is
# written from it: the Windows module-definition files and the Linux
# version script.
set(ZELQ_EXPORTS
    LibMain:12 asymptSeries_length:8 foo:8 str_Zelq_str_Excel:12 str_Zelq_str_Maple:8
    log_ndtr_Excel:16 log_ndtr_Maple:12 ndtri_Excel:16 ndtri_Maple:12 ndtri_exp_Excel:16 ndtri_exp_Maple:12
    zelq_many_double:20 zelq_many_text:28)

# zelq_write_export_files(DIR) writes into DIR:
#   zelq.def          the DLL's export table. 32-bit: each plain name bound to
#                     its stdcall symbol (LibMain = LibMain@12 @1); 64-bit has
#                     one calling convention and no decoration (LibMain @1).
#   zelq_stdcall.def  32-bit only: the decorated names with their ordinals,
#                     for dlltool --kill-at (an import library that binds a C
#                     caller's LibMain@12 to the plain export).
#   exports.map       the version script of libzelq.so.
function(zelq_write_export_files dir)
  set(def "LIBRARY \"zelq.dll\"\nEXPORTS\n")
  set(stdcall_def "LIBRARY \"zelq.dll\"\nEXPORTS\n")
  set(map "{\n  global:\n")
  set(ordinal 1)
  foreach(entry ${ZELQ_EXPORTS})
    string(REPLACE ":" ";" fields "${entry}")
    list(GET fields 0 name)
    list(GET fields 1 bytes)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      string(APPEND def "    ${name} = ${name}@${bytes} @${ordinal}\n")
    else()
      string(APPEND def "    ${name} @${ordinal}\n")
    endif()
    string(APPEND stdcall_def "    ${name}@${bytes} @${ordinal}\n")
    string(APPEND map "    ${name};\n")
    math(EXPR ordinal "${ordinal} + 1")
  endforeach()
  string(APPEND map "  local:\n    *;\n};\n")
  set(note "; Written by src/exports/zelq_exports.cmake from ZELQ_EXPORTS.\n")
  zelq_write_if_changed(${dir}/zelq.def "${note}${def}")
  zelq_write_if_changed(${dir}/zelq_stdcall.def "${note}${stdcall_def}")
  zelq_write_if_changed(${dir}/exports.map "/* Written by src/exports/zelq_exports.cmake. */\n${map}")
endfunction()

# Rewrites FILE only when CONTENT differs, so that a new configure run does
# not relink the library.
function(zelq_write_if_changed file content)
  file(WRITE ${file}.new "${content}")
  file(COPY_FILE ${file}.new ${file} ONLY_IF_DIFFERENT)
  file(REMOVE ${file}.new)
endfunction()
