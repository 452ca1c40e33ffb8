// Writing model files: the document from its root as JSON text, an object
// that several components use written once among the definitions, and the
// run's records after it.
//
// The writer builds its text itself, as nlohmann-json's dump() would write
// some control characters otherwise (\b, \f, lower-case \u001f) and could
// not keep a message on one line.
#include "model_file.h"

#include <cstdio>
#include <map>
#include <set>
#include <vector>

namespace ostrelsim {
namespace {

// The document below its root as a file can hold it: each object's
// components, less those that lead back to an object above them (no file
// can say that), and how many components use each object.
class Layout {
public:
    Layout()
    {
        if (root() != 0)
            visit(root());
    }

    const std::vector<int32_t>& componentsOf(int32_t object) const { return components_.at(object); }
    size_t usesOf(int32_t object) const
    {
        auto found = uses_.find(object);
        return found == uses_.end() ? 0 : found->second;
    }

private:
    void visit(int32_t object)
    {
        std::vector<int32_t>& kept = components_[object];
        open_.insert(object);
        for (int32_t child : components(object)) {
            if (open_.count(child) != 0)
                continue;
            kept.push_back(child);
            if (uses_[child]++ == 0)
                visit(child);
        }
        open_.erase(object);
    }

    std::map<int32_t, std::vector<int32_t>> components_;
    std::map<int32_t, size_t> uses_;
    std::set<int32_t> open_;
};

// The objects that a written model keeps as definitions, by object, and the
// same in the order they were added.
struct Definitions {
    explicit Definitions(const Layout& layout)
    {
        std::set<std::string> keys;
        for (int32_t object : objects()) {
            size_t uses = layout.usesOf(object);
            if (uses < 2)
                continue;
            // Two objects may share a name; a key stands for one of them.
            const std::string name = ansiToUtf8(objectName(object));
            std::string key = name;
            for (int copy = 2; !keys.insert(key).second; ++copy)
                key = name + " (" + std::to_string(copy) + ")";
            byObject[object] = listed.size();
            listed.push_back({object, key, uses});
        }
    }

    std::map<int32_t, size_t> byObject;
    std::vector<SharedObject> listed;
};

// `items`, each already JSON text, one to a line between `open` and `close`;
// `indent` is that of the line that opens them.
std::string block(const char* open, const std::vector<std::string>& items, const std::string& indent,
                  const char* close)
{
    if (items.empty())
        return std::string(open) + close;
    std::string out = std::string(open) + "\n";
    for (size_t i = 0; i < items.size(); ++i)
        out += indent + "  " + items[i] + (i + 1 < items.size() ? ",\n" : "\n");
    return out + indent + close;
}

std::string quotedStrings(const std::vector<std::string>& utf8, const std::string& indent)
{
    std::vector<std::string> quoted;
    for (const std::string& text : utf8)
        quoted.push_back(jsonQuoted(text));
    return block("[", quoted, indent, "]");
}

class Writer {
public:
    Writer() : definitions_(layout_) {}

    // The fields of `object` at `indent`; `key` is that of a definition, whose
    // name is written only when the key does not say it.
    std::vector<std::string> fieldsOf(int32_t object, const std::string& indent, const std::string* key = nullptr) const
    {
        std::vector<std::string> fields;
        const std::string name = ansiToUtf8(objectName(object));
        if (key == nullptr || *key != name)
            fields.push_back("\"name\": " + jsonQuoted(name));
        std::vector<std::string> names;
        for (int32_t entity : history(object))
            names.push_back(ansiToUtf8(entityName(entity)));
        if (!names.empty())
            fields.push_back("\"history\": " + quotedStrings(names, indent + "  "));
        std::vector<std::string> components;
        for (int32_t child : layout_.componentsOf(object)) {
            auto shared = definitions_.byObject.find(child);
            components.push_back(shared != definitions_.byObject.end()
                                     ? "{\"use\": " + jsonQuoted(definitions_.listed[shared->second].key) + "}"
                                     : block("{", fieldsOf(child, indent + "    "), indent + "    ", "}"));
        }
        if (!components.empty())
            fields.push_back("\"components\": " + block("[", components, indent + "  ", "]"));
        return fields;
    }

    // The definitions as the top's field, or nothing when there are none.
    std::vector<std::string> definitionsField() const
    {
        if (definitions_.listed.empty())
            return {};
        std::vector<std::string> entries;
        for (const SharedObject& shared : definitions_.listed)
            entries.push_back(jsonQuoted(shared.key) + ": " +
                              block("{", fieldsOf(shared.object, "    ", &shared.key), "    ", "}"));
        return {"\"definitions\": " + block("{", entries, "  ", "}")};
    }

    const std::vector<SharedObject>& shared() const { return definitions_.listed; }

private:
    Layout layout_;
    Definitions definitions_;
};

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

std::vector<SharedObject> sharedObjects() { return Writer().shared(); }

std::string writeModel()
{
    Writer writer;
    std::vector<std::string> fields =
        root() != 0 ? writer.fieldsOf(root(), "") : std::vector<std::string>{"\"name\": \"\""};
    for (std::string& definitions : writer.definitionsField())
        fields.push_back(std::move(definitions));
    if (distinctNames())
        fields.push_back("\"distinctNames\": true");
    std::vector<std::string> shown;
    for (const Message& message : messages())
        shown.push_back("{\"level\": " + std::to_string(message.level) +
                        ", \"text\": " + jsonQuoted(ansiToUtf8(message.text)) + "}");
    fields.push_back("\"messages\": " + block("[", shown, "  ", "]"));
    std::vector<std::string> sent;
    for (const std::string& command : sentCommands())
        sent.push_back(ansiToUtf8(command));
    fields.push_back("\"sent\": " + quotedStrings(sent, "  "));
    return block("{", fields, "", "}") + "\n";
}

} // namespace ostrelsim
