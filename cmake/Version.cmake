# One version for everything that carries one, taken from project(): a header
# for the programs (--version, their JSON documents) and, on Windows, the
# version resource that Explorer's Details tab shows for the module and each
# program. The zip's name takes it in Packaging.cmake.

configure_file(${CMAKE_CURRENT_LIST_DIR}/pelmora_version.h.in ${PROJECT_BINARY_DIR}/generated/pelmora_version.h @ONLY)
add_library(pelmora_version INTERFACE)
target_include_directories(pelmora_version INTERFACE ${PROJECT_BINARY_DIR}/generated)

# pelmora_version_resource(TARGET FILE_NAME DESCRIPTION_EN DESCRIPTION_ZH)
# gives TARGET, a module or a program, a version resource with a description in
# English and in Chinese; nothing outside Windows.
function(pelmora_version_resource target file_name description_en description_zh)
  if(NOT WIN32)
    return()
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(file_type VFT_APP)
  else()
    set(file_type VFT_DLL)
  endif()
  set(rc_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc_file} @ONLY)
  target_sources(${target} PRIVATE ${rc_file})
endfunction()
