# What a user installs: the module with its workbook and the user guide (in
# English and in Chinese) at the top, and the dictionary checker, which needs nothing beside it, in check/.
# `cpack` turns it into Pelmora-<version>-<system>.zip, with the binaries
# stripped of their debug information (most of their size).

install(TARGETS Pelmora LIBRARY DESTINATION . RUNTIME DESTINATION .)
install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/PelmoraConfig.xlsx DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/USER-GUIDE.txt ${PROJECT_SOURCE_DIR}/packaging/USER-GUIDE.zh-CN.txt
  DESTINATION .)
install(TARGETS pelmora-dict RUNTIME DESTINATION check)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Pelmora)
set(CPACK_PACKAGE_VENDOR Pelmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
if(WIN32)
  set(CPACK_SYSTEM_NAME win64)
endif()
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)

