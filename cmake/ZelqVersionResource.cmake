# SPDX-License-Identifier: MIT
# zelq_version_resource(TARGET FILE DESCRIPTION): gives a Windows binary a
# version resource (file and product version = the project's version,
# product name "zelq"), which Windows shows in the file's properties.
enable_language(RC)

function(zelq_version_resource target file description)
  set(ZELQ_RC_FILE ${file})
  set(ZELQ_RC_DESCRIPTION ${description})
  if(file MATCHES "\\.dll$")
    set(ZELQ_RC_TYPE VFT_DLL)
  else()
    set(ZELQ_RC_TYPE VFT_APP)
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
