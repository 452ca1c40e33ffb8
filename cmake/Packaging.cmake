# What a user installs: the module with its workbook and the user guide (in
# English and in Chinese) at the top, and the dictionary checker, which needs
# nothing beside it, in check/; all in one folder named after the zip.
# `cpack` turns it into Pelmora-<version>-<system>.zip, with the binaries
# stripped of their debug information (most of their size).

install(TARGETS Pelmora LIBRARY DESTINATION . RUNTIME DESTINATION .)
install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/PelmoraConfig.xlsx DESTINATION .)
# The guides as Windows editors read them best: CRLF line ends and a UTF-8
# byte-order mark (older Notepad shows LF-only text on one line, and text
# without the mark in the ANSI code page). The sources keep LF for git.
string(ASCII 239 187 191 byte_order_mark)
foreach(guide USER-GUIDE.txt USER-GUIDE.zh-CN.txt)
  set(source ${PROJECT_SOURCE_DIR}/packaging/${guide})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(READ ${source} text)
  string(FIND "${text}" "${byte_order_mark}" mark_at)
  if(mark_at EQUAL 0)
    string(SUBSTRING "${text}" 3 -1 text)
  endif()
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${CMAKE_BINARY_DIR}/packaging/${guide} "${byte_order_mark}${text}")
  install(FILES ${CMAKE_BINARY_DIR}/packaging/${guide} DESTINATION .)
endforeach()
install(TARGETS pelmora-dict RUNTIME DESTINATION check)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Pelmora)
set(CPACK_PACKAGE_VENDOR Pelmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
if(WIN32)
  set(CPACK_SYSTEM_NAME win64)
endif()
# The zip unpacks into one folder named as the zip is.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)

