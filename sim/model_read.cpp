// Reading model files: the shape of a model, checked in the JSON tree that
// json_tree.h reads, its definitions and their uses checked as an assembly,
// and then put into the document. The model is checked and every name
// converted before the document is touched, so a bad file changes nothing.
#include "model_file.h"

#include "json_tree.h"
#include "text.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <vector>

namespace ostrelsim {
namespace {

struct Failure {
    std::string text;
};

// The kinds of value a model tells apart: one kind of number, whichever way
// the library keeps it, and Other for binary data and discarded values, which
// JSON text never gives.
enum class Kind { Null, Boolean, Number, String, Array, Object, Other };

Kind kindOf(const JsonTree& value)
{
    switch (value.type()) {
    case JsonTree::value_t::null: return Kind::Null;
    case JsonTree::value_t::boolean: return Kind::Boolean;
    case JsonTree::value_t::number_integer:
    case JsonTree::value_t::number_unsigned:
    case JsonTree::value_t::number_float: return Kind::Number;
    case JsonTree::value_t::string: return Kind::String;
    case JsonTree::value_t::array: return Kind::Array;
    case JsonTree::value_t::object: return Kind::Object;
    default: return Kind::Other;
    }
}

const char* kindName(Kind kind)
{
    switch (kind) {
    case Kind::Null: return "null";
    case Kind::Boolean: return "a boolean";
    case Kind::Number: return "a number";
    case Kind::String: return "a string";
    case Kind::Array: return "an array";
    case Kind::Object: return "an object";
    case Kind::Other: break;
    }
    return "a value";
}

struct ModelComponent;

struct ModelObject {
    std::string name;   // in the ANSI code page
    std::vector<std::string> history;
    std::vector<ModelComponent> components;
};

// Where a component uses a definition; the path of its "use" names the place
// in errors that only the whole assembly shows.
struct Use {
    size_t definition;
    std::string path;
};

// A component: a use of a definition, or an object written in its place.
struct ModelComponent {
    std::optional<Use> use;
    ModelObject inPlace;
};

struct Definition {
    std::string key;    // UTF-8, as written
    std::string path;
    ModelObject object;
};

// What a JSON object stands for, which decides the fields it may have.
enum class Role { Top, Component, Definition };

[[noreturn]] void fail(const std::string& path, const std::string& what) { throw Failure{path + ": " + what}; }

void require(const JsonTree& value, Kind kind, const std::string& path)
{
    if (kindOf(value) != kind)
        fail(path, std::string("expected ") + kindName(kind) + ", found " + kindName(kindOf(value)));
}

// The items of an array, which `value` must be.
const JsonTree::array_t& items(const JsonTree& value, const std::string& path)
{
    require(value, Kind::Array, path);
    return value.get_ref<const JsonTree::array_t&>();
}

// The fields of an object, which `value` must be, in the order written.
const JsonTree::object_t& fields(const JsonTree& value, const std::string& path)
{
    require(value, Kind::Object, path);
    return value.get_ref<const JsonTree::object_t&>();
}

std::string hostText(const std::string& text, const std::string& path)
{
    if (text.find('\0') != std::string::npos)
        fail(path, "a name cannot hold U+0000");
    std::optional<std::string> narrow = utf8ToAnsi(text);
    if (!narrow)
        fail(path, jsonQuoted(text) + " cannot be held in the host's " + systemCodePageName());
    return *narrow;
}

std::string hostName(const JsonTree& value, const std::string& path)
{
    require(value, Kind::String, path);
    return hostText(value.get_ref<const std::string&>(), path);
}

void checkMessages(const JsonTree& value, const std::string& path)
{
    const JsonTree::array_t& messages = items(value, path);
    for (size_t i = 0; i < messages.size(); ++i) {
        std::string messagePath = jsonItemPath(path, i);
        for (const auto& [key, field] : fields(messages[i], messagePath)) {
            std::string fieldPath = jsonFieldPath(messagePath, key);
            if (key == "level")
                require(field, Kind::Number, fieldPath);
            else if (key == "text")
                require(field, Kind::String, fieldPath);
            else
                fail(fieldPath, "unknown field (a message has \"level\" and \"text\")");
        }
    }
}

void checkStrings(const JsonTree& value, const std::string& path)
{
    const JsonTree::array_t& strings = items(value, path);
    for (size_t i = 0; i < strings.size(); ++i)
        require(strings[i], Kind::String, jsonItemPath(path, i));
}

const char* unknownFieldText(Role role)
{
    switch (role) {
    case Role::Top:
        return "unknown field (a model has \"name\", \"history\", \"components\", \"definitions\", "
               "\"distinctNames\", \"messages\", \"sent\")";
    case Role::Component:
        return "unknown field (a component has \"name\", \"history\", \"components\", or \"use\" alone)";
    case Role::Definition: break;
    }
    return "unknown field (a definition has \"name\", \"history\", \"components\")";
}

// A model's tree as read, its definitions in the order written.
class ModelReader {
public:
    // Reads the model in `top`: the definitions' names first, so that a use
    // may come before the definition it names, wherever that stands.
    explicit ModelReader(const JsonTree& top)
    {
        if (top.is_object())
            if (auto listed = top.find("definitions"); listed != top.end() && listed->is_object())
                for (const auto& [key, value] : listed->get_ref<const JsonTree::object_t&>()) {
                    byKey_.emplace(key, definitions.size());
                    definitions.push_back({key, jsonFieldPath("$.definitions", key), {}});
                }
        root = object(top, "$", Role::Top);
    }

    ModelObject root;
    std::vector<Definition> definitions;
    bool distinctNames = false;

private:
    // `definitionKey` names a definition that has no "name" of its own.
    ModelObject object(const JsonTree& value, const std::string& path, Role role,
                       const std::string* definitionKey = nullptr)
    {
        ModelObject object;
        bool named = false;
        for (const auto& [key, field] : fields(value, path)) {
            std::string fieldPath = jsonFieldPath(path, key);
            if (key == "name") {
                object.name = hostName(field, fieldPath);
                named = true;
            } else if (key == "history") {
                const JsonTree::array_t& entries = items(field, fieldPath);
                for (size_t i = 0; i < entries.size(); ++i)
                    object.history.push_back(hostName(entries[i], jsonItemPath(fieldPath, i)));
            } else if (key == "components") {
                const JsonTree::array_t& components = items(field, fieldPath);
                for (size_t i = 0; i < components.size(); ++i)
                    object.components.push_back(component(components[i], jsonItemPath(fieldPath, i)));
            } else if (role == Role::Top && key == "definitions") {
                size_t index = 0;
                for (const auto& entry : fields(field, fieldPath)) {
                    Definition& definition = definitions[index++];
                    definition.object = this->object(entry.second, definition.path, Role::Definition, &definition.key);
                }
            } else if (role == Role::Top && key == "distinctNames") {
                require(field, Kind::Boolean, fieldPath);
                distinctNames = field.get<bool>();
            } else if (role == Role::Top && key == "messages") {
                checkMessages(field, fieldPath);
            } else if (role == Role::Top && key == "sent") {
                checkStrings(field, fieldPath);
            } else {
                fail(fieldPath, unknownFieldText(role));
            }
        }
        if (!named) {
            if (definitionKey == nullptr)
                fail(path, "no \"name\" field");
            object.name = hostText(*definitionKey, path);
        }
        return object;
    }

    ModelComponent component(const JsonTree& value, const std::string& path)
    {
        if (!value.contains("use"))
            return {std::nullopt, object(value, path, Role::Component)};
        ModelComponent used;
        for (const auto& [key, field] : fields(value, path)) {
            std::string fieldPath = jsonFieldPath(path, key);
            if (key != "use")
                fail(fieldPath, "unknown field (a use of a definition has \"use\" alone)");
            require(field, Kind::String, fieldPath);
            auto found = byKey_.find(field.get_ref<const std::string&>());
            if (found == byKey_.end())
                fail(fieldPath, "no definition is named " + jsonKeyQuoted(field.get_ref<const std::string&>()));
            used.use = Use{found->second, fieldPath};
        }
        return used;
    }

    std::unordered_map<std::string, size_t> byKey_;
};

// Deep enough for any real assembly, and well within the JSON reader's limit
// for components written in place. Uses could otherwise stack a small file's
// definitions thousands of levels deep.
constexpr size_t kMaxAssemblyLevels = 100;
static_assert(2 * kMaxAssemblyLevels + 8 < kMaxJsonNesting);

// The model checked as an assembly: no definition inside itself, no more than
// kMaxAssemblyLevels levels, no definition that the assembly never uses. A
// definition's levels are counted once; the walk goes no deeper than the
// limit, so a hostile chain of uses cannot exhaust the stack.
class AssemblyCheck {
public:
    explicit AssemblyCheck(const std::vector<Definition>& definitions)
        : definitions_(definitions), state_(definitions.size()), levels_(definitions.size())
    {
    }

    void check(const ModelObject& root)
    {
        levels(root, 1, "$");
        for (size_t i = 0; i < definitions_.size(); ++i)
            if (state_[i] == State::Unseen)
                fail(definitions_[i].path, "defined, but the assembly never uses it");
    }

private:
    enum class State { Unseen, Open, Done };

    // The levels that `object`, lying at `level`, takes up, itself included;
    // `through` is the path of the use it lies in, where a too deep assembly
    // is told.
    size_t levels(const ModelObject& object, size_t level, const std::string& through)
    {
        if (level > kMaxAssemblyLevels)
            fail(through, tooDeep());
        size_t below = 0;
        for (const ModelComponent& component : object.components)
            below = std::max(below, component.use ? levels(*component.use, level + 1)
                                                  : levels(component.inPlace, level + 1, through));
        return 1 + below;
    }

    size_t levels(const Use& use, size_t level)
    {
        const size_t index = use.definition;
        switch (state_[index]) {
        case State::Open: fail(use.path, circle(index));
        case State::Done:
            if (level - 1 + levels_[index] > kMaxAssemblyLevels)
                fail(use.path, tooDeep());
            return levels_[index];
        case State::Unseen: break;
        }
        state_[index] = State::Open;
        open_.push_back(index);
        levels_[index] = levels(definitions_[index].object, level, use.path);
        open_.pop_back();
        state_[index] = State::Done;
        return levels_[index];
    }

    static std::string tooDeep()
    {
        return "the assembly would be more than " + std::to_string(kMaxAssemblyLevels) + " levels deep";
    }

    // What a use of the open definition `index` inside the innermost one means.
    std::string circle(size_t index) const
    {
        std::string text = "the definition " + jsonKeyQuoted(definitions_[index].key) + " uses itself";
        auto from = std::find(open_.begin(), open_.end(), index);
        for (auto through = from + 1; through != open_.end(); ++through)
            text += (through == from + 1 ? " through " : ", ") + jsonKeyQuoted(definitions_[*through].key);
        return text;
    }

    const std::vector<Definition>& definitions_;
    std::vector<State> state_;
    std::vector<size_t> levels_;
    std::vector<size_t> open_;   // the definitions the walk is inside, outermost first
};

void addToDocument(const ModelObject& model, int32_t object, const std::vector<int32_t>& defined)
{
    for (const std::string& name : model.history)
        addHistoryEntry(object, name);
    for (const ModelComponent& component : model.components) {
        if (component.use) {
            addComponent(object, defined[component.use->definition]);
            continue;
        }
        int32_t child = addObject(component.inPlace.name);
        addComponent(object, child);
        addToDocument(component.inPlace, child, defined);
    }
}

} // namespace

ModelReadResult readModel(std::string_view json)
{
    std::string error;
    std::optional<JsonTree> tree = readJsonTree(json, error);
    if (!tree)
        return {false, error};
    std::optional<ModelReader> model;
    try {
        model.emplace(*tree);
        AssemblyCheck(model->definitions).check(model->root);
    } catch (const Failure& failure) {
        return {false, failure.text};
    }
    reset();
    setDistinctNames(model->distinctNames);
    int32_t root = addObject(model->root.name);
    std::vector<int32_t> defined;
    for (const Definition& definition : model->definitions)
        defined.push_back(addObject(definition.object.name));
    addToDocument(model->root, root, defined);
    for (size_t i = 0; i < defined.size(); ++i)
        addToDocument(model->definitions[i].object, defined[i], defined);
    return {true, {}};
}

} // namespace ostrelsim
