// ostrel-sim: runs a plug-in module against the simulated host on a model
// file, as Ostrel would: load the module, start it, run its commands, stop it,
// unload it; then shows what became of the model's history.
#include "console.h"
#include "exit_code.h"
#include "files.h"
#include "model_file.h"
#include "ostrel_sim.h"
#include "plugin_module.h"
#include "text_lines.h"
#include "tool_main.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace sim = ostrelsim;
using tools::Argument;

constexpr char kProgram[] = "ostrel-sim";

#if defined(_WIN32)
constexpr char kDefaultModule[] = "Pelmora.dll";
#else
constexpr char kDefaultModule[] = "Pelmora.so";
#endif

constexpr char kUsage[] = R"(usage: ostrel-sim MODEL.json [--plugin PATH] [--run COMMAND]... [--out OUT.json] [--quiet]
                  [--distinct-names]
       ostrel-sim --help | --version

Loads the model into the simulated Ostrel host, loads the plug-in module as the
host does, calls its PelmoraInit, runs each COMMAND by the name a plug-in
registered it under, in order (PelmoraSwap once when none is given), calls
PelmoraExit and unloads the module.

  MODEL.json        the model, in UTF-8 (with or without a byte-order mark)
                    or UTF-16 with its mark:
                      {"name": "...", "history": ["..."], "components": [...],
                       "definitions": {"KEY": {"history": ..., "components": ...}}}
                    A component is {"name": ..., "history": ..., "components": ...}
                    or {"use": "KEY"}, an occurrence of the definition KEY: a
                    part or sub-assembly defined once and used in several places
                    is one object, so that a name set through any of its
                    occurrences is set in all. A definition is named by its key
                    unless it has a "name" of its own; it may use other
                    definitions, never itself, and the model must use it.
                    "history", "components" and "definitions" may be absent;
                    "distinctNames": true makes the host refuse a name that
                    another history entry of the same object holds.
                    Names go into the host in the ANSI code page (the locale's
                    codeset). "-" reads the model from standard input.
  --plugin PATH     the module to load (default: )" "Pelmora.so / Pelmora.dll" R"( beside ostrel-sim)
  --run COMMAND     a command to run; may be given more than once
  --out OUT.json    writes the resulting model in UTF-8, in the same form (an
                    object that several components use among the definitions,
                    in the order they were defined, the others in place), with the
                    host's messages ("messages": [{"level": N, "text": "..."}])
                    and the commands the plug-in sent ("sent": ["..."])
  --quiet           prints only the summary line
  --distinct-names  the host refuses a name that another history entry of the
                    same object holds, as many CAD hosts do (as the model's
                    "distinctNames": true)
  --help            prints this text (as does no argument at all)
  --version         prints the program's version
  --                ends the options; what follows is the model
Options take their value as "--run NAME" or "--run=NAME".

Shows each host message as it arrives with its level, then every history entry
that changed (old name, new name) under the path that first reaches its object;
an object that several components use is shown once, its path followed by
(definition "KEY", used N times). Then a summary line: objects visited,
entries, changed, unchanged, messages, where each object counts once however
many components use it, and, for a model that shares definitions, how many
it shares and how many uses they have. Text is shown in the encoding of the
terminal or, redirected, in UTF-8 on Windows and in the locale's encoding
elsewhere.

Exit codes:
  0  the run finished
  1  the model file is not valid text (the line), or not a model (line and
     column, or the JSON path of the value at fault: a value of the wrong
     kind, a field given twice, a use of no definition, a definition that
     uses itself, directly or through others, an assembly too deep)
  2  bad arguments
  3  the model file cannot be read
  4  the module cannot be loaded or has no PelmoraInit
  5  a command that no plug-in registered
  6  OUT.json cannot be written (known before the commands run)
  8  out of memory, or an unexpected failure
Nothing is written when the run ends in an error, and a file that was there
is replaced only by a complete one.
)";

constexpr tools::OptionSpec kOptions[] = {
    {"--help", false}, {"-h", false},   {"--version", false}, {"--plugin", true},
    {"--run", true},   {"--out", true}, {"--quiet", false},
    {"--distinct-names", false},
};

struct Options {
    std::optional<Argument> model;
    fs::path plugin;
    std::vector<std::string> commands;
    fs::path out;
    bool quiet = false;
    bool distinctNames = false;
};

int fail(int code, const std::string& message)
{
    if (code == tools::kBadArguments)
        return tools::badArguments(kProgram, message);
    tools::writeText(tools::Stream::Err, std::string(kProgram) + ": " + message + "\n");
    return code;
}

// Fills `options`; a code other than kOk ends the program (kOk with `text`
// set asks for that text: the usage or the version).
int parseArguments(const std::vector<Argument>& arguments, Options& options, std::string& text, std::string& error)
{
    if (arguments.empty()) {
        text = kUsage;
        return tools::kOk;
    }
    tools::ParsedArguments parsed;
    if (!tools::parseArguments(arguments, kOptions, parsed, error))
        return tools::kBadArguments;
    for (const tools::ParsedOption& option : parsed.options) {
        const std::string_view name = option.spec->name;
        if (name == "--help" || name == "-h") {
            text = kUsage;
            return tools::kOk;
        } else if (name == "--version") {
            text = tools::versionText(kProgram);
            return tools::kOk;
        } else if (name == "--plugin") {
            options.plugin = option.value.path();
        } else if (name == "--run") {
            options.commands.push_back(option.value.text());
        } else if (name == "--out") {
            options.out = option.value.path();
        } else if (name == "--quiet") {
            options.quiet = true;
        } else if (name == "--distinct-names") {
            options.distinctNames = true;
        }
    }
    if (parsed.operands.empty()) {
        error = "no model file given";
        return tools::kBadArguments;
    }
    if (parsed.operands.size() > 1) {
        error = "one model file only (" + parsed.operands[1].text() + " is a second one)";
        return tools::kBadArguments;
    }
    options.model = parsed.operands[0];
    if (options.commands.empty())
        options.commands.push_back("PelmoraSwap");
    if (options.plugin.empty())
        options.plugin = tools::ownExecutable().parent_path() / kDefaultModule;
    // A bare file name would send the system's loader searching its library path.
    std::error_code ignored;
    if (fs::path absolute = fs::absolute(options.plugin, ignored); !absolute.empty())
        options.plugin = absolute;
    return tools::kOk;
}

// One history entry of the model, with the object it belongs to.
struct Entry {
    std::string objectHeader;   // UTF-8: the object's path, "/Gearbox/Shaft", and what shares it
    int32_t entity;
    std::string nameBefore;     // host text
};

// The model's history entries, each object's once however many components
// use it, in the order the plug-in's walk first reaches them.
class ModelEntries {
public:
    ModelEntries()
    {
        for (const sim::SharedObject& object : sim::sharedObjects()) {
            uses_ += object.uses;
            shared_.emplace(object.object, object);
        }
        collect(sim::root(), "");
    }

    const std::vector<Entry>& entries() const { return entries_; }
    size_t objects() const { return seen_.size(); }
    size_t sharedObjects() const { return shared_.size(); }
    size_t uses() const { return uses_; }

private:
    void collect(int32_t object, const std::string& parentPath)
    {
        if (!seen_.insert(object).second)
            return;
        std::string path = parentPath + "/" + sim::ansiToUtf8(sim::objectName(object));
        std::string header = path;
        if (auto shared = shared_.find(object); shared != shared_.end())
            header += " (definition \"" + shared->second.key + "\", used " + std::to_string(shared->second.uses) +
                      " times)";
        for (int32_t entity : sim::history(object))
            entries_.push_back({header, entity, sim::entityName(entity)});
        for (int32_t child : sim::components(object))
            collect(child, path);
    }

    std::map<int32_t, sim::SharedObject> shared_;
    size_t uses_ = 0;
    std::set<int32_t> seen_;
    std::vector<Entry> entries_;
};

void show(const std::string& utf8) { tools::writeText(tools::Stream::Out, utf8); }

void showMessage(const sim::Message& message, void*)
{
    show("[message, level " + std::to_string(message.level) + "] " + sim::ansiToUtf8(message.text) + "\n");
}

void showChanges(const std::vector<Entry>& entries)
{
    size_t width = 0;
    for (const Entry& entry : entries) {
        size_t entryWidth = tools::displayWidth(sim::ansiToUtf8(entry.nameBefore));
        if (sim::entityName(entry.entity) != entry.nameBefore && entryWidth > width)
            width = entryWidth;
    }
    std::string text;
    std::string lastHeader;
    for (const Entry& entry : entries) {
        std::string after = sim::entityName(entry.entity);
        if (after == entry.nameBefore)
            continue;
        if (text.empty())
            text = "Changed history entries (old name -> new name):\n";
        if (entry.objectHeader != lastHeader)
            text += entry.objectHeader + "\n";
        lastHeader = entry.objectHeader;
        text += "  " + tools::padded(sim::ansiToUtf8(entry.nameBefore), width) + " -> " + sim::ansiToUtf8(after) + "\n";
    }
    show(text.empty() ? "No history entry changed.\n" : text);
}

int run(const std::vector<Argument>& arguments)
{
    Options options;
    std::string text;
    std::string error;
    if (int code = parseArguments(arguments, options, text, error); code != tools::kOk)
        return fail(code, error);
    if (!text.empty()) {
        show(text);
        return tools::kOk;
    }

    std::string bytes;
    if (!tools::readInput(*options.model, bytes, error))
        return fail(tools::kCannotRead, error);
    std::string json;
    if (!tools::decodeText(bytes, json, error))
        return fail(tools::kUnusableInput, options.model->text() + ": " + error);
    bytes = std::string();
    sim::ModelReadResult read = sim::readModel(json);
    if (!read.ok)
        return fail(tools::kUnusableInput, options.model->text() + ": " + read.error);
    if (options.distinctNames)
        sim::setDistinctNames(true);
    // Known before the command runs, so that no work is shown and then lost.
    tools::OutputFile out;
    if (!options.out.empty() && !out.open(options.out, error))
        return fail(tools::kCannotWrite, error);

    const ModelEntries model;
    const std::vector<Entry>& entries = model.entries();
    if (!options.quiet)
        sim::onMessage(showMessage, nullptr);

    {
        sim::PluginModule module(options.plugin);
        if (!module.loaded())
            return fail(tools::kModuleNotLoaded, "cannot load the module " + tools::displayName(options.plugin) +
                                                     ": " + module.error());
        sim::PluginModule::EntryPoint init = module.entry("PelmoraInit");
        if (!init)
            return fail(tools::kModuleNotLoaded,
                        "the module " + tools::displayName(options.plugin) + " has no PelmoraInit");
        init();
        for (const std::string& command : options.commands) {
            if (sim::runCommand(command))
                continue;
            std::string registered;
            for (const std::string& name : sim::registeredCommands())
                registered += (registered.empty() ? "" : ", ") + name;
            if (sim::PluginModule::EntryPoint exit = module.entry("PelmoraExit"))
                exit();
            return fail(tools::kUnknownCommand, "no plug-in registered the command \"" + command + "\" (registered: " +
                                             (registered.empty() ? "none" : registered) + ")");
        }
        if (sim::PluginModule::EntryPoint exit = module.entry("PelmoraExit"))
            exit();
    }
    sim::onMessage(nullptr, nullptr);

    size_t changed = 0;
    for (const Entry& entry : entries)
        changed += sim::entityName(entry.entity) != entry.nameBefore;
    if (!options.quiet)
        showChanges(entries);
    std::string summary = "objects visited: " + std::to_string(model.objects()) +
                          ", entries: " + std::to_string(entries.size()) + ", changed: " + std::to_string(changed) +
                          ", unchanged: " + std::to_string(entries.size() - changed) +
                          ", messages: " + std::to_string(sim::messages().size());
    if (model.sharedObjects() != 0)
        summary += ", shared definitions: " + std::to_string(model.sharedObjects()) + " (used " +
                   std::to_string(model.uses()) + " times)";
    show(summary + "\n");

    if (!options.out.empty() && !out.commit(sim::writeModel(), error))
        return fail(tools::kCannotWrite, error);
    return tools::kOk;
}

} // namespace

// Names go into the host in the code page of the user's locale, as they would on their system.
int main(int argc, char** argv) { return tools::runTool(argc, argv, kProgram, run); }
