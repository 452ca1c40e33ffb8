# Compiler settings shared by every target of the project.

if(MSVC)
  set(PELMORA_WARNING_FLAGS /W4 /utf-8)
  if(PELMORA_WERROR)
    list(APPEND PELMORA_WARNING_FLAGS /WX)
  endif()
else()
  set(PELMORA_WARNING_FLAGS -Wall -Wextra)
  if(PELMORA_WERROR)
    list(APPEND PELMORA_WARNING_FLAGS -Werror)
  endif()
endif()

# Applies the project's warnings to a target of our own (not to third-party code).
function(pelmora_warnings target)
  target_compile_options(${target} PRIVATE ${PELMORA_WARNING_FLAGS})
endfunction()

if(PELMORA_SANITIZE AND NOT MSVC)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(MINGW)
  # The module has to load in a host that ships no MinGW runtime, so libgcc,
  # libstdc++ and winpthread are linked in statically everywhere.
  add_link_options(-static)
endif()

if(NOT WIN32)
  # Only what is marked for export leaves a shared object, as on Windows.
  set(CMAKE_CXX_VISIBILITY_PRESET hidden)
  set(CMAKE_C_VISIBILITY_PRESET hidden)
  set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)
endif()
