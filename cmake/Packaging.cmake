# What a user installs: the module with its workbook and the user guide at the
# top, and the dictionary checker in check/ with the stand-in host library it
# needs outside the host. `cpack` turns it into Pelmora-<version>-<system>.zip.

install(TARGETS Pelmora LIBRARY DESTINATION . RUNTIME DESTINATION .)
install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/PelmoraConfig.xlsx DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/USER-GUIDE.txt DESTINATION .)
install(TARGETS pelmora-dict ostrelapi RUNTIME DESTINATION check LIBRARY DESTINATION check)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Pelmora)
set(CPACK_PACKAGE_VENDOR Pelmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
if(WIN32)
  set(CPACK_SYSTEM_NAME win64)
endif()
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)

# The checker finds the stand-in host library beside itself.
if(NOT WIN32)
  set_target_properties(pelmora-dict PROPERTIES INSTALL_RPATH "\$ORIGIN")
endif()
