// Where the module itself lies.
#pragma once

#include <string>
#include <string_view>

// The separator between a directory and a file name on this system.
#if defined(_WIN32)
inline constexpr char16_t kPathSeparator = u'\\';
#else
inline constexpr char16_t kPathSeparator = u'/';
#endif

// The full path of the file of the module that contains this code, found
// through the address of one of its own functions; read whole, however long.
// Empty when the system cannot tell.
std::u16string ownModulePath();

