# nlohmann-json, the one JSON library of the project. It is header-only, so the
# same Debian package serves both builds. Natively it is found as installed; the
# cross toolchain hides the build machine's package folders, and putting
# /usr/include on the MinGW include path would bring in glibc's headers, so
# the cross build gets a copy of just the library's headers in a folder of its own.
if(CMAKE_CROSSCOMPILING)
  find_path(PELMORA_NLOHMANN_INCLUDE_DIR nlohmann/json.hpp
    PATHS /usr/include /usr/local/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(staging ${CMAKE_BINARY_DIR}/third-party/include)
  file(COPY ${PELMORA_NLOHMANN_INCLUDE_DIR}/nlohmann DESTINATION ${staging})
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${staging})
else()
  find_package(nlohmann_json 3.11 REQUIRED)
endif()
