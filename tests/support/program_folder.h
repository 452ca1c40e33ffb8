// A plug-in module loaded as the host loads it (LoadLibraryW or dlopen), with
// its entry points found by their exported names, and unloaded at the end.
#pragma once

#include <cstdint>
#include <filesystem>

class LoadedModule {
public:
    using EntryPoint = int32_t (*)();

    explicit LoadedModule(const std::filesystem::path& file);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    // The entry point exported under `name`, or null.
    EntryPoint entry(const char* name) const;

private:
    void* handle_ = nullptr;
};

// The folder of the running test program, where the build puts the module.
std::filesystem::path testProgramFolder();
