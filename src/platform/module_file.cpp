// The module's own file: Win32 calls on Windows, dladdr elsewhere.
#include "module_file.h"

#if defined(_WIN32)
#  include <windows.h>
#  include <vector>
#else
#  include "utf8.h"

#  include <dlfcn.h>
#endif

#if defined(_WIN32)

std::u16string ownModulePath()
{
    MEMORY_BASIC_INFORMATION region{};
    HMODULE module = nullptr;
    if (VirtualQuery(reinterpret_cast<const void*>(&ownModulePath), &region, sizeof region) != 0)
        module = static_cast<HMODULE>(region.AllocationBase);
    // Paths may be longer than MAX_PATH; the call cuts them to the buffer and
    // says so by filling it, so the buffer grows until the path fits.
    constexpr DWORD kLongestPath = 32768;
    for (DWORD capacity = 256;; capacity *= 2) {
        std::vector<wchar_t> buffer(capacity, L'\0');
        DWORD length = GetModuleFileNameW(module, buffer.data(), capacity);
        if (length == 0)
            return {};
        if (length < capacity || capacity >= kLongestPath)
            return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()), length);
    }
}

#else

std::u16string ownModulePath()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&ownModulePath), &info) == 0 || info.dli_fname == nullptr)
        return {};
    return xl::utf8ToUtf16(info.dli_fname);
}

#endif
