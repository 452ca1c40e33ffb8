# The directions that the project's dependencies keep: the module's core needs
# no host, the module knows the host only by its API, the dictionary checker
# needs only the core, the spreadsheet layer needs nothing of the module.
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

pelmora_forbid_links(xlbook pelmora_text pelmora_core pelmora_plugin ostrelapi)
pelmora_forbid_links(pelmora_text xlbook pelmora_core pelmora_plugin ostrelapi)
pelmora_forbid_links(pelmora_core pelmora_plugin ostrelapi)
pelmora_forbid_links(Pelmora ostrel_sim)
pelmora_forbid_links(pelmora-dict pelmora_plugin ostrelapi)
