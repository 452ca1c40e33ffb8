# Compiler settings shared by every target of the project. The project builds
# with GCC (natively and as MinGW-w64) and clang (the fuzz targets); the code
# relies on what they share (128-bit integers, prefetch hints, GNU attributes).

set(PELMORA_WARNING_FLAGS -Wall -Wextra)
if(PELMORA_WERROR)
  list(APPEND PELMORA_WARNING_FLAGS -Werror)
endif()

# Applies the project's warnings to a target of our own (not to third-party code).
function(pelmora_warnings target)
  target_compile_options(${target} PRIVATE ${PELMORA_WARNING_FLAGS})
endfunction()

if(PELMORA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Built files name the sources relative to the repository ("src/main/demo_callbacks.cpp"
# in an error report, in debug information), not by the folder they were built
# in: users never see a build machine's paths, and two builds from different
# folders give the same bytes.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=)

if(MINGW)
  # The module has to load in a host that ships no MinGW runtime, so libgcc,
  # libstdc++ and winpthread are linked in statically everywhere. No link time
  # in the PE header, so that the same sources give the same file.
  add_link_options(-static -Wl,--no-insert-timestamp)
endif()

if(NOT WIN32)
  # Only what is marked for export leaves a shared object, as on Windows.
  set(CMAKE_CXX_VISIBILITY_PRESET hidden)
  set(CMAKE_C_VISIBILITY_PRESET hidden)
  set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)
endif()
