// The Chinese setting (code page 936) for the fuzz targets that go through
// the simulated host, whose names are text in the process's code page.
#pragma once

#include <clocale>
#include <cstdio>
#include <cstdlib>

// Switches the process to zh_CN.GBK, or ends it saying what is missing.
inline void enterChineseSetting(const char* target)
{
    if (!std::setlocale(LC_ALL, "zh_CN.GBK")) {
        std::fprintf(stderr, "%s: needs the zh_CN.GBK locale (scripts/setup.sh makes it)\n", target);
        std::exit(1);
    }
}
