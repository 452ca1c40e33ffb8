// Model files: the shape of a model, checked in the JSON tree that
// json_tree.h reads and then put into the document, and the document written
// back as JSON text. The model is checked and every name converted before the
// document is touched, so a bad file changes nothing.
//
// The writer builds its text itself, as nlohmann-json's dump() would write
// some control characters otherwise (\b, \f, lower-case \u001f) and could
// not keep a message on one line.
#include "model_file.h"

#include "json_tree.h"
#include "text.h"

#include <algorithm>
#include <cstdio>
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

struct ModelObject {
    std::string name;   // in the ANSI code page
    std::vector<std::string> history;
    std::vector<ModelObject> components;
};

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

std::string hostName(const JsonTree& value, const std::string& path)
{
    require(value, Kind::String, path);
    const std::string& text = value.get_ref<const std::string&>();
    if (text.find('\0') != std::string::npos)
        fail(path, "a name cannot hold U+0000");
    std::optional<std::string> narrow = utf8ToAnsi(text);
    if (!narrow)
        fail(path, jsonQuoted(text) + " cannot be held in the host's " + systemCodePageName());
    return *narrow;
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

ModelObject modelObject(const JsonTree& value, const std::string& path, bool top)
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
                object.components.push_back(modelObject(components[i], jsonItemPath(fieldPath, i), false));
        } else if (top && key == "messages") {
            checkMessages(field, fieldPath);
        } else if (top && key == "sent") {
            checkStrings(field, fieldPath);
        } else {
            fail(fieldPath,
                 top ? "unknown field (a model has \"name\", \"history\", \"components\", \"messages\", \"sent\")"
                     : "unknown field (a component has \"name\", \"history\", \"components\")");
        }
    }
    if (!named)
        fail(path, "no \"name\" field");
    return object;
}

void addToDocument(const ModelObject& model, int32_t object)
{
    for (const std::string& name : model.history)
        addHistoryEntry(object, name);
    for (const ModelObject& component : model.components) {
        int32_t child = addObject(component.name);
        addComponent(object, child);
        addToDocument(component, child);
    }
}

void writeStrings(std::string& out, const std::vector<std::string>& utf8, const std::string& indent)
{
    if (utf8.empty()) {
        out += "[]";
        return;
    }
    out += "[\n";
    for (size_t i = 0; i < utf8.size(); ++i)
        out += indent + "  " + jsonQuoted(utf8[i]) + (i + 1 < utf8.size() ? ",\n" : "\n");
    out += indent + "]";
}

// Writes `object` and what lies below it; `ancestors` guards against a
// document whose components lead back to an object above them.
void writeObject(std::string& out, int32_t object, const std::string& indent, std::vector<int32_t>& ancestors)
{
    out += "{\n" + indent + "  \"name\": " + jsonQuoted(ansiToUtf8(objectName(object)));
    std::vector<std::string> names;
    for (int32_t entity : history(object))
        names.push_back(ansiToUtf8(entityName(entity)));
    if (!names.empty()) {
        out += ",\n" + indent + "  \"history\": ";
        writeStrings(out, names, indent + "  ");
    }
    std::vector<int32_t> children;
    for (int32_t child : components(object))
        if (std::find(ancestors.begin(), ancestors.end(), child) == ancestors.end())
            children.push_back(child);
    if (!children.empty()) {
        out += ",\n" + indent + "  \"components\": [\n";
        ancestors.push_back(object);
        for (size_t i = 0; i < children.size(); ++i) {
            out += indent + "    ";
            writeObject(out, children[i], indent + "    ", ancestors);
            out += i + 1 < children.size() ? ",\n" : "\n";
        }
        ancestors.pop_back();
        out += indent + "  ]";
    }
    out += "\n" + indent + "}";
}

} // namespace

std::string jsonQuoted(std::string_view utf8)
{
    std::string out = "\"";
    for (char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
                out += escape;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

ModelReadResult readModel(std::string_view json)
{
    std::string error;
    std::optional<JsonTree> tree = readJsonTree(json, error);
    if (!tree)
        return {false, error};
    ModelObject model;
    try {
        model = modelObject(*tree, "$", true);
    } catch (const Failure& failure) {
        return {false, failure.text};
    }
    reset();
    int32_t root = addObject(model.name);
    addToDocument(model, root);
    return {true, {}};
}

std::string writeModel()
{
    std::string out;
    int32_t top = root();
    std::vector<int32_t> ancestors;
    if (top != 0) {
        writeObject(out, top, "", ancestors);
        out.resize(out.size() - 2);   // the closing "\n}", reopened for the run's records
    } else {
        out += "{\n  \"name\": \"\"";
    }
    out += ",\n  \"messages\": ";
    std::vector<Message> shown = messages();
    if (shown.empty()) {
        out += "[]";
    } else {
        out += "[\n";
        for (size_t i = 0; i < shown.size(); ++i)
            out += "    {\"level\": " + std::to_string(shown[i].level) +
                   ", \"text\": " + jsonQuoted(ansiToUtf8(shown[i].text)) + (i + 1 < shown.size() ? "},\n" : "}\n");
        out += "  ]";
    }
    out += ",\n  \"sent\": ";
    std::vector<std::string> sent;
    for (const std::string& command : sentCommands())
        sent.push_back(ansiToUtf8(command));
    writeStrings(out, sent, "  ");
    out += "\n}\n";
    return out;
}

} // namespace ostrelsim
