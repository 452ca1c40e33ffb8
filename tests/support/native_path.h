// Paths written in a test's table with backslashes, as Windows writes them,
// turned into this system's form, so that one table serves both builds.
#pragma once

#include "module_file.h"

#include <string>

namespace fixture {

inline std::u16string nativePath(std::u16string path)
{
    for (char16_t& c : path)
        if (c == u'\\')
            c = kPathSeparator;
    return path;
}

} // namespace fixture
