// Loading a module: Win32's loader on Windows, dlopen elsewhere.
#include "loaded_module.h"

#include "module_file.h"

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <dlfcn.h>
#endif

#if defined(_WIN32)

LoadedModule::LoadedModule(const std::filesystem::path& file) : handle_(LoadLibraryW(file.wstring().c_str())) {}

LoadedModule::~LoadedModule()
{
    if (handle_)
        FreeLibrary(static_cast<HMODULE>(handle_));
}

LoadedModule::EntryPoint LoadedModule::entry(const char* name) const
{
    return reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name)));
}

#else

LoadedModule::LoadedModule(const std::filesystem::path& file) : handle_(dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL)) {}

LoadedModule::~LoadedModule()
{
    if (handle_)
        dlclose(handle_);
}

LoadedModule::EntryPoint LoadedModule::entry(const char* name) const
{
    return reinterpret_cast<EntryPoint>(dlsym(handle_, name));
}

#endif

std::filesystem::path testProgramFolder() { return std::filesystem::path(ownModulePath()).parent_path(); }
