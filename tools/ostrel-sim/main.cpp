// ostrel-sim: runs a plug-in module against the simulated host on a model
// file, as Ostrel would: load the module, start it, run its commands, stop it,
// unload it; then shows what became of the model's history.
#include "model_file.h"
#include "ostrel_sim.h"
#include "tool_support.h"

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <dlfcn.h>
#endif

namespace {

namespace fs = std::filesystem;
namespace sim = ostrelsim;

enum ExitCode {
    kOk = 0,
    kBadArguments = 2,
    kBadModel = 3,
    kBadModule = 4,
    kUnknownCommand = 5,
};

#if defined(_WIN32)
constexpr char kDefaultModule[] = "Pelmora.dll";
#else
constexpr char kDefaultModule[] = "Pelmora.so";
#endif

constexpr char kUsage[] = R"(usage: ostrel-sim MODEL.json [--plugin PATH] [--run COMMAND]... [--out OUT.json] [--quiet]

Loads the model into the simulated Ostrel host, loads the plug-in module as the
host does, calls its PelmoraInit, runs each COMMAND by the name a plug-in
registered it under, in order (PelmoraSwap once when none is given), calls
PelmoraExit and unloads the module.

  MODEL.json        the model: {"name": "...", "history": ["..."],
                    "components": [{"name": ..., "history": ..., "components": ...}]}
                    in UTF-8; "history" and "components" may be absent. Names go
                    into the host in the ANSI code page (the locale's codeset).
  --plugin PATH     the module to load (default: )" "Pelmora.so / Pelmora.dll" R"( beside ostrel-sim)
  --run COMMAND     a command to run; may be given more than once
  --out OUT.json    writes the resulting model, with the host's messages
                    ("messages": [{"level": N, "text": "..."}]) and the commands
                    the plug-in sent ("sent": ["..."])
  --quiet           prints only the summary line
  --help            prints this text

Shows each host message as it arrives with its level, then every history entry
that changed, per object path (old name, new name), then a summary line:
objects visited, entries, changed, unchanged, messages.

Exit codes:
  0  the run finished
  2  bad arguments, or OUT.json cannot be written
  3  the model file cannot be read or is not a model (line and column, or the
     JSON path of the value at fault)
  4  the module cannot be loaded or has no PelmoraInit
  5  a command that no plug-in registered
Nothing is written when the run ends in an error.
)";

struct Options {
    fs::path model;
    fs::path plugin;
    std::vector<std::string> commands;
    fs::path out;
    bool quiet = false;
};

int fail(int code, const std::string& message)
{
    std::fprintf(stderr, "ostrel-sim: %s\n", message.c_str());
    if (code == kBadArguments)
        std::fprintf(stderr, "Try 'ostrel-sim --help'.\n");
    return code;
}

// Fills `options`; a code other than kOk ends the program (kOk with `help`
// set asks for the usage text).
int parseArguments(const std::vector<std::string>& arguments, Options& options, bool& help, std::string& error)
{
    bool haveModel = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        auto value = [&](fs::path* path, std::string* text) {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                error = argument + " needs a value";
                return false;
            }
            ++i;
            if (path)
                *path = tools::pathFromArgument(arguments[i]);
            if (text)
                *text = arguments[i];
            return true;
        };
        if (argument == "--help" || argument == "-h") {
            help = true;
            return kOk;
        } else if (argument == "--plugin") {
            if (!value(&options.plugin, nullptr))
                return kBadArguments;
        } else if (argument == "--run") {
            std::string command;
            if (!value(nullptr, &command))
                return kBadArguments;
            options.commands.push_back(command);
        } else if (argument == "--out") {
            if (!value(&options.out, nullptr))
                return kBadArguments;
        } else if (argument == "--quiet") {
            options.quiet = true;
        } else if (argument.size() > 1 && argument[0] == '-') {
            error = "unknown option " + argument;
            return kBadArguments;
        } else if (haveModel) {
            error = "one model file only (" + argument + " is a second one)";
            return kBadArguments;
        } else {
            options.model = tools::pathFromArgument(argument);
            haveModel = true;
        }
    }
    if (!haveModel) {
        error = "no model file given";
        return kBadArguments;
    }
    if (options.commands.empty())
        options.commands.push_back("PelmoraSwap");
    if (options.plugin.empty())
        options.plugin = tools::ownExecutable().parent_path() / kDefaultModule;
    // A bare file name would send the system's loader searching its library path.
    std::error_code ignored;
    if (fs::path absolute = fs::absolute(options.plugin, ignored); !absolute.empty())
        options.plugin = absolute;
    return kOk;
}

// The plug-in module, loaded while this lives.
class Module {
public:
    explicit Module(const fs::path& path)
    {
#if defined(_WIN32)
        handle_ = LoadLibraryW(path.wstring().c_str());
        if (!handle_)
            error_ = "Windows error " + std::to_string(GetLastError());
#else
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_) {
            const char* reason = dlerror();
            error_ = reason ? reason : "unknown reason";
        }
#endif
    }
    ~Module()
    {
#if defined(_WIN32)
        if (handle_)
            FreeLibrary(static_cast<HMODULE>(handle_));
#else
        if (handle_)
            dlclose(handle_);
#endif
    }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    const std::string& error() const { return error_; }

    using EntryPoint = int32_t (*)();
    EntryPoint entry(const char* name) const
    {
#if defined(_WIN32)
        // Through the generic function type, which every function pointer converts to without a warning.
        return reinterpret_cast<EntryPoint>(
            reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(handle_), name)));
#else
        return reinterpret_cast<EntryPoint>(dlsym(handle_, name));
#endif
    }

private:
    void* handle_ = nullptr;
    std::string error_;
};

// One history entry of the model, with the object path it belongs to.
struct Entry {
    std::string objectPath;   // UTF-8, "/Gearbox/Shaft"
    int32_t entity;
    std::string nameBefore;   // host text
};

void collectEntries(int32_t object, const std::string& parentPath, std::vector<Entry>& entries, int& objects)
{
    ++objects;
    std::string path = parentPath + "/" + sim::ansiToUtf8(sim::objectName(object));
    for (int32_t entity : sim::history(object))
        entries.push_back({path, entity, sim::entityName(entity)});
    for (int32_t child : sim::components(object))
        collectEntries(child, path, entries, objects);
}

void showMessage(const sim::Message& message, void*)
{
    std::printf("[message, level %d] %s\n", static_cast<int>(message.level), sim::ansiToUtf8(message.text).c_str());
    std::fflush(stdout);
}

void showChanges(const std::vector<Entry>& entries)
{
    size_t width = 0;
    for (const Entry& entry : entries) {
        size_t entryWidth = tools::displayWidth(sim::ansiToUtf8(entry.nameBefore));
        if (sim::entityName(entry.entity) != entry.nameBefore && entryWidth > width)
            width = entryWidth;
    }
    std::string lastPath;
    bool any = false;
    for (const Entry& entry : entries) {
        std::string after = sim::entityName(entry.entity);
        if (after == entry.nameBefore)
            continue;
        if (!any)
            std::printf("Changed history entries (old name -> new name):\n");
        any = true;
        if (entry.objectPath != lastPath)
            std::printf("%s\n", entry.objectPath.c_str());
        lastPath = entry.objectPath;
        std::string before = sim::ansiToUtf8(entry.nameBefore);
        std::string padding(width - tools::displayWidth(before), ' ');
        std::printf("  %s%s -> %s\n", before.c_str(), padding.c_str(), sim::ansiToUtf8(after).c_str());
    }
    if (!any)
        std::printf("No history entry changed.\n");
}

int run(const std::vector<std::string>& arguments)
{
    Options options;
    bool help = false;
    std::string error;
    if (int code = parseArguments(arguments, options, help, error); code != kOk)
        return fail(code, error);
    if (help) {
        std::fputs(kUsage, stdout);
        return kOk;
    }

    std::string json;
    if (!tools::readFile(options.model, json, error))
        return fail(kBadModel, tools::displayPath(options.model) + ": " + error);
    sim::ModelReadResult read = sim::readModel(json);
    if (!read.ok)
        return fail(kBadModel, tools::displayPath(options.model) + ": " + read.error);

    std::vector<Entry> entries;
    int objects = 0;
    collectEntries(sim::root(), "", entries, objects);
    if (!options.quiet)
        sim::onMessage(showMessage, nullptr);

    {
        Module module(options.plugin);
        if (!module.loaded())
            return fail(kBadModule, "cannot load the module " + tools::displayPath(options.plugin) + ": " +
                                        module.error());
        Module::EntryPoint init = module.entry("PelmoraInit");
        if (!init)
            return fail(kBadModule, "the module " + tools::displayPath(options.plugin) + " has no PelmoraInit");
        init();
        for (const std::string& command : options.commands) {
            if (sim::runCommand(command))
                continue;
            std::string registered;
            for (const std::string& name : sim::registeredCommands())
                registered += (registered.empty() ? "" : ", ") + name;
            if (Module::EntryPoint exit = module.entry("PelmoraExit"))
                exit();
            return fail(kUnknownCommand, "no plug-in registered the command \"" + command + "\" (registered: " +
                                             (registered.empty() ? "none" : registered) + ")");
        }
        if (Module::EntryPoint exit = module.entry("PelmoraExit"))
            exit();
    }
    sim::onMessage(nullptr, nullptr);

    size_t changed = 0;
    for (const Entry& entry : entries)
        changed += sim::entityName(entry.entity) != entry.nameBefore;
    if (!options.quiet)
        showChanges(entries);
    std::printf("objects visited: %d, entries: %zu, changed: %zu, unchanged: %zu, messages: %zu\n", objects,
                entries.size(), changed, entries.size() - changed, sim::messages().size());

    if (!options.out.empty() && !tools::writeFile(options.out, sim::writeModel(), error))
        return fail(kBadArguments, tools::displayPath(options.out) + ": " + error);
    return kOk;
}

} // namespace

int main(int argc, char** argv)
{
    // Names go into the host in the code page of the user's locale, as they would on their system.
    std::setlocale(LC_ALL, "");
    tools::useUtf8Output();
    return run(tools::arguments(argc, argv));
}
