// A plug-in module loaded as Ostrel loads one (LoadLibraryW on Windows,
// dlopen elsewhere), its entry points found by their exported names, and
// unloaded when this ends: the simulated host's side of loading, for
// ostrel-sim and for the tests that go through the real entry points.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace ostrelsim {

class PluginModule {
public:
    using EntryPoint = int32_t (*)();

    explicit PluginModule(const std::filesystem::path& file);
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    // Why the module could not be loaded, for people.
    const std::string& error() const { return error_; }
    // The entry point exported under `name`, or null.
    EntryPoint entry(const char* name) const;

private:
    void* handle_ = nullptr;
    std::string error_;
};

} // namespace ostrelsim
