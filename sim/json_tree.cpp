// Reading JSON text into a tree: nlohmann-json parses, and a tree builder of
// our own, fed through the library's SAX interface, refuses on the way what
// its own builder would take (a repeated field, which it would let overwrite
// the first; nesting of any depth) and knows the path it stands at.
#include "json_tree.h"

#include <algorithm>
#include <unordered_set>
#include <utility>
#include <vector>

namespace ostrelsim {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Where the byte at `offset` lies, for people: lines and columns from 1,
// columns counted in characters. The text before an error is UTF-8 (the
// parser stops at the first byte that is not), so a character is a byte that
// continues none; a byte order mark takes no column, as in an editor.
std::string lineAndColumn(std::string_view text, size_t offset)
{
    offset = std::min(offset, text.size());
    size_t line = 1;
    size_t column = 1;
    for (size_t i = text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0; i < offset; ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\n') {
            ++line;
            column = 1;
        } else if ((byte & 0xC0) != 0x80) {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// nlohmann's message less what the error says itself: the exception's name
// and the library's own position ("[json.exception.parse_error.101] parse
// error at line 1, column 12: ", in bytes), and the echo of the text read
// ("; last read: '...'"), which need not be UTF-8.
std::string reasonOf(std::string message, const std::string& lastRead)
{
    const std::string echo = "; last read: '" + lastRead + "'";
    if (size_t at = message.find(echo); at != std::string::npos)
        message.erase(at, echo.size());
    if (size_t at = message.find("] "); at != std::string::npos)
        message.erase(0, at + 2);
    if (message.starts_with("parse error"))
        if (size_t at = message.find(": "); at != std::string::npos)
            message.erase(0, at + 2);
    return message;
}

class TreeBuilder final : public nlohmann::json_sax<JsonTree> {
public:
    TreeBuilder(std::string_view text, JsonTree& tree) : text_(text), tree_(tree) {}

    const std::string& failure() const { return failure_; }

    bool null() override { return place(nullptr); }
    bool boolean(bool value) override { return place(value); }
    bool number_integer(number_integer_t value) override { return place(value); }
    bool number_unsigned(number_unsigned_t value) override { return place(value); }
    bool number_float(number_float_t value, const string_t&) override { return place(value); }
    bool string(string_t& value) override { return place(std::move(value)); }
    bool binary(binary_t& value) override { return place(std::move(value)); }
    bool start_object(std::size_t) override { return open(JsonTree::object()); }
    bool start_array(std::size_t) override { return open(JsonTree::array()); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }

    bool key(string_t& name) override
    {
        Open& object = open_.back();
        if (!object.keys.insert(name).second) {
            failure_ = pathInside(open_.size() - 1) + ": field " + jsonKeyQuoted(name) + " appears twice";
            return false;
        }
        object.key = name;
        return true;
    }

    bool parse_error(std::size_t bytesRead, const std::string& lastRead,
                     const nlohmann::detail::exception& error) override
    {
        // The library counts the byte it stopped at as read.
        failure_ = lineAndColumn(text_, bytesRead == 0 ? 0 : bytesRead - 1) + ": " + reasonOf(error.what(), lastRead);
        return false;
    }

private:
    struct Open {
        JsonTree* container;
        std::string key;   // an object's field being read
        // An object's fields so far. The tree's own lookup walks them all,
        // which a hostile object with a great many fields would make slow.
        std::unordered_set<std::string> keys;
    };

    // Puts `value` where the parser stands; null when it would lie too deep.
    JsonTree* put(JsonTree value)
    {
        if (open_.size() > kMaxJsonNesting) {
            failure_ = pathInside(open_.size()) + ": values nested more than " + std::to_string(kMaxJsonNesting) +
                       " deep";
            return nullptr;
        }
        if (open_.empty()) {
            tree_ = std::move(value);
            return &tree_;
        }
        Open& parent = open_.back();
        if (parent.container->is_object()) {
            JsonTree::object_t& fields = parent.container->get_ref<JsonTree::object_t&>();
            fields.emplace_back(parent.key, std::move(value));
            return &fields.back().second;
        }
        parent.container->push_back(std::move(value));
        return &parent.container->back();
    }

    bool place(JsonTree value) { return put(std::move(value)) != nullptr; }

    bool open(JsonTree container)
    {
        JsonTree* placed = put(std::move(container));
        if (placed == nullptr)
            return false;
        // Only the last value of a container is ever open, and nothing is put
        // beside it while it is, so the pointer holds.
        open_.push_back({placed, {}, {}});
        return true;
    }

    bool close()
    {
        open_.pop_back();
        return true;
    }

    // The path of the value that the parser stands at inside the outermost
    // `levels` open containers. Each of those but the innermost holds the
    // next one open as its last value; the innermost is taking its next.
    std::string pathInside(size_t levels) const
    {
        std::string path = "$";
        for (size_t i = 0; i < levels; ++i) {
            const Open& level = open_[i];
            if (level.container->is_object())
                path = jsonFieldPath(path, level.key);
            else
                path = jsonItemPath(path, level.container->size() - (i + 1 < open_.size() ? 1 : 0));
        }
        return path;
    }

    std::string_view text_;
    JsonTree& tree_;
    std::vector<Open> open_;
    std::string failure_;
};

} // namespace

std::optional<JsonTree> readJsonTree(std::string_view text, std::string& error)
{
    JsonTree tree;
    TreeBuilder builder(text, tree);
    if (!JsonTree::sax_parse(text.begin(), text.end(), &builder)) {
        error = builder.failure();
        return std::nullopt;
    }
    return tree;
}

std::string jsonKeyQuoted(std::string_view key)
{
    return JsonTree(std::string(key)).dump(-1, ' ', false, JsonTree::error_handler_t::replace);
}

std::string jsonFieldPath(const std::string& object, std::string_view field)
{
    // In ASCII alone: <cctype> would ask the process's locale.
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const bool plain = !field.empty() && letter(field[0]) &&
                       std::all_of(field.begin(), field.end(), [&](char c) { return letter(c) || digit(c); });
    return plain ? object + "." + std::string(field) : object + "[" + jsonKeyQuoted(field) + "]";
}

std::string jsonItemPath(const std::string& array, size_t index)
{
    return array + "[" + std::to_string(index) + "]";
}

} // namespace ostrelsim
