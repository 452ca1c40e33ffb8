// Loading a plug-in module: Win32's loader on Windows, dlopen elsewhere.
#include "plugin_module.h"

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <dlfcn.h>
#endif

namespace ostrelsim {

#if defined(_WIN32)

PluginModule::PluginModule(const std::filesystem::path& file) : handle_(LoadLibraryW(file.wstring().c_str()))
{
    if (!handle_)
        error_ = "Windows error " + std::to_string(GetLastError());
}

PluginModule::~PluginModule()
{
    if (handle_)
        FreeLibrary(static_cast<HMODULE>(handle_));
}

PluginModule::EntryPoint PluginModule::entry(const char* name) const
{
    // Through the generic function type, which every function pointer converts to without a warning.
    return reinterpret_cast<EntryPoint>(
        reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(handle_), name)));
}

#else

PluginModule::PluginModule(const std::filesystem::path& file) : handle_(dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL))
{
    if (!handle_) {
        const char* reason = dlerror();
        error_ = reason ? reason : "unknown reason";
    }
}

PluginModule::~PluginModule()
{
    if (handle_)
        dlclose(handle_);
}

PluginModule::EntryPoint PluginModule::entry(const char* name) const
{
    return reinterpret_cast<EntryPoint>(dlsym(handle_, name));
}

#endif

} // namespace ostrelsim
