# The directions that the project's dependencies keep: the module's core needs
# no host, the module knows the host only by its API, the dictionary checker
# needs only the core, the spreadsheet layer needs nothing of the module, and
# the simulated host nothing of the module either: what both sides share (the
# host API's headers, the text library) has a folder and a target of its own.
# Checked once every target exists, so that a link against what a target must
# not need stops the configuration, whichever file added it.

# Every target that `target` links, directly or through others.
function(pelmora_link_closure target result)
  set(seen "")
  set(queue ${target})
  list(LENGTH queue left)
  while(left GREATER 0)
    list(POP_FRONT queue current)
    list(LENGTH queue left)
    if(NOT TARGET ${current} OR current IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${current})
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(libraries ${current} ${property})
      if(NOT libraries)
        continue()
      endif()
      foreach(library IN LISTS libraries)
        # Static libraries pass their private links on as $<LINK_ONLY:...>.
        string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" library "${library}")
        if(NOT library MATCHES "^\\$<")
          list(APPEND queue ${library})
          list(LENGTH queue left)
        endif()
      endforeach()
    endforeach()
  endwhile()
  set(${result} ${seen} PARENT_SCOPE)
endfunction()

# Stops the configuration when `target` links any of the targets that follow.
function(pelmora_forbid_links target)
  pelmora_link_closure(${target} closure)
  foreach(forbidden IN LISTS ARGN)
    if(forbidden IN_LIST closure)
      message(FATAL_ERROR "${target} links ${forbidden}, which it must not need")
    endif()
  endforeach()
endfunction()

# Stops the configuration when `target`, or anything it links, would find
# headers in `folder`.
function(pelmora_forbid_include_folder target folder)
  pelmora_link_closure(${target} closure)
  foreach(linked IN LISTS closure)
    foreach(property INCLUDE_DIRECTORIES INTERFACE_INCLUDE_DIRECTORIES)
      get_target_property(directories ${linked} ${property})
      foreach(directory IN LISTS directories)
        cmake_path(IS_PREFIX folder "${directory}" NORMALIZE inside)
        if(inside)
          message(FATAL_ERROR "${target} finds headers in ${directory} (through ${linked}), which it must not")
        endif()
      endforeach()
    endforeach()
  endforeach()
endfunction()

pelmora_forbid_links(xl_utf8 pelmora_text xlbook pelmora_core pelmora_plugin ostrelapi)
pelmora_forbid_links(xlbook pelmora_text pelmora_core pelmora_plugin ostrelapi)
pelmora_forbid_links(pelmora_text xlbook pelmora_core pelmora_plugin ostrelapi)
pelmora_forbid_links(pelmora_core pelmora_plugin ostrelapi)
pelmora_forbid_links(Pelmora ostrel_sim)
pelmora_forbid_links(pelmora-dict pelmora_plugin ostrelapi)
pelmora_forbid_links(ostrelapi xlbook pelmora_core pelmora_plugin pelmora_entry Pelmora)
pelmora_forbid_include_folder(ostrelapi ${PROJECT_SOURCE_DIR}/src)
pelmora_forbid_include_folder(ostrel_sim ${PROJECT_SOURCE_DIR}/src)
