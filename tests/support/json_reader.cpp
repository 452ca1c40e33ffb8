// Recursive-descent JSON parsing, enough for the recorded expectations.
#include "json_reader.h"

#include <charconv>

namespace fixture {
namespace {

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    bool parseDocument(JsonValue& value)
    {
        if (!parseValue(value, 0))
            return false;
        skipBlanks();
        return at_ == text_.size() || fail("text after the value");
    }

    std::string error() const { return error_ + " at byte " + std::to_string(at_); }

private:
    bool fail(const char* what)
    {
        if (error_.empty())
            error_ = what;
        return false;
    }

    void skipBlanks()
    {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' || text_[at_] == '\t'))
            ++at_;
    }

    bool take(char c)
    {
        skipBlanks();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    bool takeWord(std::string_view word)
    {
        if (text_.substr(at_, word.size()) != word)
            return false;
        at_ += word.size();
        return true;
    }

    bool parseValue(JsonValue& value, int depth)
    {
        if (depth > 100)
            return fail("nesting too deep");
        skipBlanks();
        if (at_ == text_.size())
            return fail("missing value");
        const char c = text_[at_];
        if (c == '{')
            return parseObject(value, depth);
        if (c == '[')
            return parseArray(value, depth);
        if (c == '"') {
            value.type = JsonValue::Type::String;
            return parseString(value.text);
        }
        if (takeWord("true") || takeWord("false")) {
            value.type = JsonValue::Type::Boolean;
            value.boolean = c == 't';
            return true;
        }
        if (takeWord("null")) {
            value.type = JsonValue::Type::Null;
            return true;
        }
        value.type = JsonValue::Type::Number;
        const auto [end, status] = std::from_chars(text_.data() + at_, text_.data() + text_.size(), value.number);
        if (status != std::errc())
            return fail("bad value");
        at_ = static_cast<size_t>(end - text_.data());
        return true;
    }

    bool parseObject(JsonValue& value, int depth)
    {
        value.type = JsonValue::Type::Object;
        ++at_;
        if (take('}'))
            return true;
        do {
            std::string key;
            skipBlanks();
            if (!parseString(key) || !take(':'))
                return fail("bad object member");
            if (!parseValue(value.members[key], depth + 1))
                return false;
        } while (take(','));
        return take('}') || fail("expected '}'");
    }

    bool parseArray(JsonValue& value, int depth)
    {
        value.type = JsonValue::Type::Array;
        ++at_;
        if (take(']'))
            return true;
        do {
            if (!parseValue(value.items.emplace_back(), depth + 1))
                return false;
        } while (take(','));
        return take(']') || fail("expected ']'");
    }

    bool parseString(std::string& out)
    {
        if (at_ >= text_.size() || text_[at_] != '"')
            return fail("expected a string");
        ++at_;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"')
                return true;
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (at_ == text_.size())
                break;
            const char escape = text_[at_++];
            switch (escape) {
            case '"': case '\\': case '/': out.push_back(escape); break;
            case 'b': out.push_back('\b'); break;
            case 'f': out.push_back('\f'); break;
            case 'n': out.push_back('\n'); break;
            case 'r': out.push_back('\r'); break;
            case 't': out.push_back('\t'); break;
            default:
                return fail("unsupported escape");
            }
        }
        return fail("unterminated string");
    }

    std::string_view text_;
    size_t at_ = 0;
    std::string error_;
};

} // namespace

const JsonValue* JsonValue::find(std::string_view key) const
{
    const auto found = members.find(std::string(key));
    return found == members.end() ? nullptr : &found->second;
}

std::optional<JsonValue> parseJson(std::string_view text, std::string& error)
{
    Parser parser(text);
    JsonValue value;
    if (!parser.parseDocument(value)) {
        error = parser.error();
        return std::nullopt;
    }
    return value;
}

} // namespace fixture
