// Switching or checking the ANSI code page for a test.
#include "code_page.h"

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <clocale>
#  include <cstring>
#  include <langinfo.h>
#endif

#if defined(_WIN32)

CodePageScope::CodePageScope(int codePage) : active_(static_cast<int>(GetACP()) == codePage) {}
CodePageScope::~CodePageScope() = default;
int currentCodePage() { return static_cast<int>(GetACP()); }

#else

namespace {
const char* localeFor(int codePage)
{
    switch (codePage) {
    case 936: return "zh_CN.GBK";
    case 1252: return "en_US.CP1252";
    case 65001: return "C.UTF-8";
    default: return nullptr;
    }
}
} // namespace

CodePageScope::CodePageScope(int codePage)
{
    const char* current = std::setlocale(LC_ALL, nullptr);
    previous_ = current ? current : "C";
    const char* name = localeFor(codePage);
    active_ = name != nullptr && std::setlocale(LC_ALL, name) != nullptr;
    if (!active_)
        ADD_FAILURE() << "locale for code page " << codePage << " is missing; run scripts/setup.sh";
}

CodePageScope::~CodePageScope() { std::setlocale(LC_ALL, previous_.c_str()); }

int currentCodePage()
{
    const char* codeset = nl_langinfo(CODESET);
    if (std::strcmp(codeset, "GBK") == 0)
        return 936;
    if (std::strcmp(codeset, "CP1252") == 0)
        return 1252;
    if (std::strcmp(codeset, "UTF-8") == 0)
        return 65001;
    return 0;
}

#endif
