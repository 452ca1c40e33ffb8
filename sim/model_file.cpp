// Model files: a small JSON reader that keeps where each value stood, the
// check of a model's shape, and the writer. The model is checked and every
// name converted before the document is touched, so a bad file changes nothing.
#include "model_file.h"

#include "text.h"
#include "text_codec.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>
#include <vector>

namespace ostrelsim {
namespace {

// --- JSON ---------------------------------------------------------------------

struct Position {
    int line = 1;
    int column = 1;
};

std::string describe(Position at)
{
    return "line " + std::to_string(at.line) + ", column " + std::to_string(at.column);
}

struct JsonField;

struct JsonValue {
    enum class Kind { Null, Boolean, Number, String, Array, Object };
    Kind kind = Kind::Null;
    Position at;
    std::string text;   // a string's UTF-8 text, a number as written
    std::vector<JsonValue> items;
    std::vector<JsonField> fields;   // an object's members, in the order written
};

struct JsonField {
    std::string name;
    JsonValue value;
};

const char* kindName(JsonValue::Kind kind)
{
    switch (kind) {
    case JsonValue::Kind::Null: return "null";
    case JsonValue::Kind::Boolean: return "a boolean";
    case JsonValue::Kind::Number: return "a number";
    case JsonValue::Kind::String: return "a string";
    case JsonValue::Kind::Array: return "an array";
    case JsonValue::Kind::Object: return "an object";
    }
    return "a value";
}

struct Failure {
    std::string text;
};

// Deep enough for any real assembly; it keeps hostile nesting off the stack.
constexpr int kMaxNesting = 200;

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text)
    {
        constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
        if (text_.substr(0, kByteOrderMark.size()) == kByteOrderMark)
            offset_ = kByteOrderMark.size();
    }

    JsonValue document()
    {
        skipBlanks();
        JsonValue value = parseValue(0);
        skipBlanks();
        if (!atEnd())
            fail("expected the end of the text, found " + here());
        return value;
    }

private:
    bool atEnd() const { return offset_ >= text_.size(); }
    unsigned char peek() const { return static_cast<unsigned char>(text_[offset_]); }

    void advance()
    {
        unsigned char c = peek();
        ++offset_;
        if (c == '\n') {
            ++position_.line;
            position_.column = 1;
        } else if ((c & 0xC0) != 0x80) {   // columns count characters, not bytes
            ++position_.column;
        }
    }

    [[noreturn]] void fail(const std::string& what) const { failAt(position_, what); }
    [[noreturn]] static void failAt(Position at, const std::string& what) { throw Failure{describe(at) + ": " + what}; }

    std::string here() const
    {
        if (atEnd())
            return "the end of the text";
        unsigned char c = peek();
        if (c >= 0x20 && c < 0x7F)
            return std::string("'") + static_cast<char>(c) + "'";
        char hex[16];
        std::snprintf(hex, sizeof hex, "byte 0x%02X", c);
        return hex;
    }

    void skipBlanks()
    {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r'))
            advance();
    }

    void expect(char c)
    {
        if (atEnd() || peek() != static_cast<unsigned char>(c))
            fail(std::string("expected '") + c + "', found " + here());
        advance();
    }

    JsonValue parseValue(int depth)
    {
        if (depth > kMaxNesting)
            fail("values nested more than " + std::to_string(kMaxNesting) + " deep");
        JsonValue value;
        value.at = position_;
        if (atEnd())
            fail("expected a value, found the end of the text");
        switch (peek()) {
        case '{': parseObject(value, depth); break;
        case '[': parseArray(value, depth); break;
        case '"':
            value.kind = JsonValue::Kind::String;
            value.text = parseString();
            break;
        case 't': parseWord("true", value, JsonValue::Kind::Boolean); break;
        case 'f': parseWord("false", value, JsonValue::Kind::Boolean); break;
        case 'n': parseWord("null", value, JsonValue::Kind::Null); break;
        default:
            if (peek() == '-' || (peek() >= '0' && peek() <= '9'))
                parseNumber(value);
            else
                fail("expected a value, found " + here());
        }
        return value;
    }

    void parseWord(std::string_view word, JsonValue& value, JsonValue::Kind kind)
    {
        if (text_.substr(offset_, word.size()) != word)
            fail("expected a value, found " + here());
        for (size_t i = 0; i < word.size(); ++i)
            advance();
        value.kind = kind;
        value.text = word;
    }

    void digits()
    {
        if (atEnd() || peek() < '0' || peek() > '9')
            fail("expected a digit, found " + here());
        while (!atEnd() && peek() >= '0' && peek() <= '9')
            advance();
    }

    void parseNumber(JsonValue& value)
    {
        size_t start = offset_;
        if (peek() == '-')
            advance();
        if (!atEnd() && peek() == '0')
            advance();
        else
            digits();
        if (!atEnd() && peek() == '.') {
            advance();
            digits();
        }
        if (!atEnd() && (peek() == 'e' || peek() == 'E')) {
            advance();
            if (!atEnd() && (peek() == '+' || peek() == '-'))
                advance();
            digits();
        }
        value.kind = JsonValue::Kind::Number;
        value.text = text_.substr(start, offset_ - start);
    }

    void parseArray(JsonValue& value, int depth)
    {
        value.kind = JsonValue::Kind::Array;
        advance();
        skipBlanks();
        if (!atEnd() && peek() == ']') {
            advance();
            return;
        }
        for (;;) {
            skipBlanks();
            value.items.push_back(parseValue(depth + 1));
            skipBlanks();
            if (!atEnd() && peek() == ',') {
                advance();
                continue;
            }
            if (atEnd() || peek() != ']')
                fail("expected ',' or ']', found " + here());
            advance();
            return;
        }
    }

    void parseObject(JsonValue& value, int depth)
    {
        value.kind = JsonValue::Kind::Object;
        advance();
        skipBlanks();
        if (!atEnd() && peek() == '}') {
            advance();
            return;
        }
        for (;;) {
            skipBlanks();
            Position keyAt = position_;
            if (atEnd() || peek() != '"')
                fail("expected a field name in double quotes, found " + here());
            std::string key = parseString();
            for (const auto& field : value.fields)
                if (field.name == key)
                    failAt(keyAt, "field \"" + key + "\" appears twice");
            skipBlanks();
            expect(':');
            skipBlanks();
            value.fields.push_back({std::move(key), parseValue(depth + 1)});
            skipBlanks();
            if (!atEnd() && peek() == ',') {
                advance();
                continue;
            }
            if (atEnd() || peek() != '}')
                fail("expected ',' or '}', found " + here());
            advance();
            return;
        }
    }

    unsigned hexQuad()
    {
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            if (atEnd() || !std::isxdigit(peek()))
                fail("expected four hexadecimal digits after \\u, found " + here());
            unsigned char c = peek();
            value = value * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
            advance();
        }
        return value;
    }

    static void appendUtf8(std::string& out, unsigned code)
    {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | code >> 6);
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | code >> 12);
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | code >> 18);
            out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    void parseEscape(std::string& out)
    {
        Position escapeAt = position_;
        advance();   // the backslash
        if (atEnd())
            fail("expected an escape, found the end of the text");
        char c = static_cast<char>(peek());
        advance();
        switch (c) {
        case '"': out += '"'; return;
        case '\\': out += '\\'; return;
        case '/': out += '/'; return;
        case 'b': out += '\b'; return;
        case 'f': out += '\f'; return;
        case 'n': out += '\n'; return;
        case 'r': out += '\r'; return;
        case 't': out += '\t'; return;
        case 'u': break;
        default: failAt(escapeAt, std::string("unknown escape \\") + c);
        }
        unsigned code = hexQuad();
        if (code >= 0xDC00 && code <= 0xDFFF)
            failAt(escapeAt, "a low surrogate without a high one before it");
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (text_.substr(offset_, 2) != "\\u")
                failAt(escapeAt, "a high surrogate without a low one after it");
            advance();
            advance();
            unsigned low = hexQuad();
            if (low < 0xDC00 || low > 0xDFFF)
                failAt(escapeAt, "a high surrogate without a low one after it");
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        appendUtf8(out, code);
    }

    // One UTF-8 character, checked: no overlong forms, surrogates or values past U+10FFFF.
    void copyCharacter(std::string& out)
    {
        unsigned char lead = peek();
        size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
        std::string_view sequence = text_.substr(offset_, length);
        if (length == 0 || sequence.size() != length || !xl::isValidUtf8(sequence))
            fail("text that is not UTF-8 (" + here() + ")");
        out.append(sequence);
        for (size_t i = 0; i < length; ++i)
            advance();
    }

    std::string parseString()
    {
        Position start = position_;
        advance();   // the opening quote
        std::string out;
        for (;;) {
            if (atEnd())
                failAt(start, "a string that does not end");
            unsigned char c = peek();
            if (c == '"') {
                advance();
                return out;
            }
            if (c < 0x20)
                fail("a control character in a string; write it as an escape");
            if (c == '\\') {
                parseEscape(out);
            } else if (c < 0x80) {
                out += static_cast<char>(c);
                advance();
            } else {
                copyCharacter(out);
            }
        }
    }

    std::string_view text_;
    size_t offset_ = 0;
    Position position_;
};

// --- The model's shape ----------------------------------------------------------

struct ModelObject {
    std::string name;   // in the ANSI code page
    std::vector<std::string> history;
    std::vector<ModelObject> components;
};

[[noreturn]] void failValue(const std::string& path, const JsonValue& value, const std::string& what)
{
    throw Failure{path + " (" + describe(value.at) + "): " + what};
}

void require(const JsonValue& value, JsonValue::Kind kind, const std::string& path)
{
    if (value.kind != kind)
        failValue(path, value, std::string("expected ") + kindName(kind) + ", found " + kindName(value.kind));
}

std::string hostName(const JsonValue& value, const std::string& path)
{
    require(value, JsonValue::Kind::String, path);
    if (value.text.find('\0') != std::string::npos)
        failValue(path, value, "a name cannot hold U+0000");
    std::optional<std::string> narrow = utf8ToAnsi(value.text);
    if (!narrow)
        failValue(path, value, jsonQuoted(value.text) + " cannot be held in the host's " + systemCodePageName());
    return *narrow;
}

void checkMessages(const JsonValue& value, const std::string& path)
{
    require(value, JsonValue::Kind::Array, path);
    for (size_t i = 0; i < value.items.size(); ++i) {
        const JsonValue& message = value.items[i];
        std::string messagePath = path + "[" + std::to_string(i) + "]";
        require(message, JsonValue::Kind::Object, messagePath);
        for (const auto& [key, field] : message.fields) {
            if (key == "level")
                require(field, JsonValue::Kind::Number, messagePath + ".level");
            else if (key == "text")
                require(field, JsonValue::Kind::String, messagePath + ".text");
            else
                failValue(messagePath + "." + key, field, "unknown field (a message has \"level\" and \"text\")");
        }
    }
}

void checkStrings(const JsonValue& value, const std::string& path)
{
    require(value, JsonValue::Kind::Array, path);
    for (size_t i = 0; i < value.items.size(); ++i)
        require(value.items[i], JsonValue::Kind::String, path + "[" + std::to_string(i) + "]");
}

ModelObject modelObject(const JsonValue& value, const std::string& path, bool top)
{
    require(value, JsonValue::Kind::Object, path);
    ModelObject object;
    bool named = false;
    for (const auto& [key, field] : value.fields) {
        std::string fieldPath = path + "." + key;
        if (key == "name") {
            object.name = hostName(field, fieldPath);
            named = true;
        } else if (key == "history") {
            require(field, JsonValue::Kind::Array, fieldPath);
            for (size_t i = 0; i < field.items.size(); ++i)
                object.history.push_back(hostName(field.items[i], fieldPath + "[" + std::to_string(i) + "]"));
        } else if (key == "components") {
            require(field, JsonValue::Kind::Array, fieldPath);
            for (size_t i = 0; i < field.items.size(); ++i)
                object.components.push_back(
                    modelObject(field.items[i], fieldPath + "[" + std::to_string(i) + "]", false));
        } else if (top && key == "messages") {
            checkMessages(field, fieldPath);
        } else if (top && key == "sent") {
            checkStrings(field, fieldPath);
        } else {
            failValue(fieldPath, field,
                      top ? "unknown field (a model has \"name\", \"history\", \"components\", \"messages\", \"sent\")"
                          : "unknown field (a component has \"name\", \"history\", \"components\")");
        }
    }
    if (!named)
        failValue(path, value, "no \"name\" field");
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

// --- Writing --------------------------------------------------------------------

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
    ModelObject model;
    try {
        JsonValue document = Parser(json).document();
        model = modelObject(document, "$", true);
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
