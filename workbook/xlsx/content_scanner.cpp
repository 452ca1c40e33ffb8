// The scanner of rows and shared strings. Every step either moves on or
// gives the element up to the XML reader, also when the window ends inside
// it; the NUL after the window stops every search without a bounds check of
// its own.
#include "xlsx/content_scanner.h"

#include "xlsx/xml_bytes.h"

#include <algorithm>
#include <cstring>

namespace xl {
namespace {

using namespace xml_bytes;

// Whether the bytes at `p` begin with `name`; names are short.
bool startsWith(const char* p, std::string_view name)
{
    for (size_t i = 0; i < name.size(); ++i)
        if (p[i] != name[i])
            return false;
    return true;
}

} // namespace

ContentScanner::ContentScanner(XmlReader& xml, size_t sharedStrings)
    : xml_(xml), sharedStrings_(sharedStrings), maxDepth_(std::min(16, XmlReader::kMaxDepth - xml.level()))
{
}


// Runs `scan` over the window and passes what it read; nothing when it gave
// the element up or the element goes on past the window, which the XML
// reader then reads, reading on from the part as it always does.
template <typename Scan>
bool ContentScanner::attempt(Scan scan)
{
    const std::string_view window = xml_.window();
    if (window.data() == nullptr)
        return false;
    end_ = window.data() + window.size();
    const size_t used = scan(window.data());
    if (used == 0 || used > kMaxElement)
        return false;
    xml_.passWindow(used);
    return true;
}

bool ContentScanner::row(int& nextRow, std::vector<Cell>& cells)
{
    return attempt([&](const char* begin) { return scanRow(begin, nextRow, cells); });
}

bool ContentScanner::sharedString(std::string& text)
{
    return attempt([&](const char* begin) { return scanSharedString(begin, text); });
}

// Blanks, then the start tag of a child called `name`, up to its attributes.
// Text that is not blank is left to the XML reader, which counts it.
bool ContentScanner::startsChild(const char*& p, std::string_view name)
{
    p = skipBlanks(p);
    if (*p != '<')
        return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (p[1 + i] != name[i])
            return false;
    p += 1 + name.size();
    if (!is(*p, kEndsName) || *p == '\0' || *p == '?' || *p == '<')
        return false;
    return true;
}

size_t ContentScanner::scanRow(const char* begin, int& nextRow, std::vector<Cell>& cells)
{
    const char* p = begin;
    if (maxDepth_ < 4 || !startsChild(p, "row"))
        return 0;
    Wanted number{"r"};
    bool empty;
    if (!attributes(p, empty, &number, 1))
        return 0;
    int rowIndex = nextRow;
    if (number.found) {
        const std::optional<int> parsed = parseRowNumber(number.value);
        if (!parsed)
            return 0;
        rowIndex = *parsed;
    } else if (rowIndex >= kMaxRows) {
        return 0;
    }
    texts_.clear();
    raw_.clear();
    int column = -1;
    while (!empty) {
        if (!passText(p))
            return 0;
        if (p[1] == '/') {
            if (!endTag(p, "row"))
                return 0;
            break;
        }
        std::string_view name;
        if (!elementName(p, name))
            return 0;
        if (name == "c") {
            if (!cell(p, rowIndex, column, 2))
                return 0;
        } else {
            bool childEmpty;
            if (!attributes(p, childEmpty, nullptr, 0) || (!childEmpty && !content(p, name, nullptr, 2)))
                return 0;
        }
    }
    // The row is whole: what its cells mean, or the XML reader's turn to say
    // why one means nothing.
    cells.clear();
    for (const RawCell& raw : raw_) {
        const std::string_view texts(texts_);
        Cell& scanned = cells.emplace_back();
        scanned.position = raw.position;
        const auto text = [&](bool has, size_t at, size_t length) {
            return has ? std::optional<std::string_view>(texts.substr(at, length)) : std::nullopt;
        };
        if (interpretCell(raw.kind, text(raw.hasValue, raw.value, raw.valueLength),
                          text(raw.hasInlineText, raw.inlineText, raw.inlineTextLength), sharedStrings_,
                          scanned.value) != CellFault::None)
            return 0;
    }
    nextRow = rowIndex + 1;
    return static_cast<size_t>(p - begin);
}

// A <c> whose name `p` has passed, to past its end, as the raw cell it is.
bool ContentScanner::cell(const char*& p, int rowIndex, int& column, int depth)
{
    Wanted wanted[] = {{"r"}, {"t"}};
    bool empty;
    if (!attributes(p, empty, wanted, 2))
        return false;
    RawCell raw{};
    raw.position.row = rowIndex;
    if (wanted[0].found) {
        const std::optional<CellPosition> position = parseCellReference(wanted[0].value);
        if (!position)
            return false;
        raw.position = *position;
        column = position->col;
    } else if (++column >= kMaxColumns) {
        return false;
    }
    raw.position.col = column;
    if (wanted[1].found)
        raw.kind = cellKind(wanted[1].value);
    else
        raw.kind = CellKind::Number;
    while (!empty) {
        if (!passText(p))
            return false;
        if (p[1] == '/') {
            if (!endTag(p, "c"))
                return false;
            break;
        }
        std::string_view name;
        bool childEmpty;
        if (!elementName(p, name) || !attributes(p, childEmpty, nullptr, 0))
            return false;
        if (name == "v" && !raw.hasValue) {
            raw.hasValue = true;
            raw.value = texts_.size();
            if (!childEmpty && !leafText(p, name, texts_))
                return false;
            raw.valueLength = texts_.size() - raw.value;
        } else if (name == "is" && raw.kind == CellKind::InlineString && !raw.hasInlineText) {
            raw.hasInlineText = true;
            raw.inlineText = texts_.size();
            if (!childEmpty && !content(p, name, &texts_, depth + 1))
                return false;
            raw.inlineTextLength = texts_.size() - raw.inlineText;
        } else if (!childEmpty && !content(p, name, nullptr, depth + 1)) {
            return false;
        }
    }
    raw_.push_back(raw);
    return true;
}

size_t ContentScanner::scanSharedString(const char* begin, std::string& text)
{
    const char* p = begin;
    if (maxDepth_ < 4 || !startsChild(p, "si"))
        return 0;
    bool empty;
    if (!attributes(p, empty, nullptr, 0))
        return 0;
    text.clear();
    if (!empty && !content(p, "si", &text, 1))
        return 0;
    return static_cast<size_t>(p - begin);
}

// The attributes of a start tag from after its name to past its end, the
// first value of each `wanted` local name noted; `empty` for "/>".
bool ContentScanner::attributes(const char*& p, bool& empty, Wanted* wanted, size_t count)
{
    for (;;) {
        p = skipBlanks(p);
        if (*p == '>') {
            ++p;
            empty = false;
            return true;
        }
        if (*p == '/') {
            if (p[1] != '>')
                return false;
            p += 2;
            empty = true;
            return true;
        }
        const char* const name = p;
        const char* local = p;
        for (; !is(*p, kEndsAttributeName); ++p)
            if (*p == ':')
                local = p + 1;
        if (p == name)
            return false;
        const std::string_view localName(local, static_cast<size_t>(p - local));
        p = skipBlanks(p);
        if (*p != '=')
            return false;
        p = skipBlanks(p + 1);
        const char quote = *p;
        if (quote != '"' && quote != '\'')
            return false;
        const char* const value = ++p;
        for (;; ++p) {
            while (!is(*p, kEndsValue))
                ++p;
            if (*p == quote)
                break;
            if (*p == '&')
                return false;
            if (*p == '\0')
                return false;
        }
        for (size_t i = 0; i < count; ++i) {
            if (!wanted[i].found && localName.size() == wanted[i].localName.size() &&
                startsWith(local, wanted[i].localName)) {
                wanted[i].found = true;
                wanted[i].value = std::string_view(value, static_cast<size_t>(p - value));
            }
        }
        ++p;
    }
}

// The name of the start tag at `p` ('<'), which `p` passes; names with a
// prefix are left to the XML reader, which matches local names.
bool ContentScanner::elementName(const char*& p, std::string_view& name)
{
    const char* const begin = ++p;
    while (!is(*p, kEndsName | kColon))
        ++p;
    if (*p == ':')
        return false;
    if (*p == '\0' || p == begin || *p == '?' || *p == '<')
        return false;
    name = std::string_view(begin, static_cast<size_t>(p - begin));
    return true;
}

// The end tag at `p` ("</"), which must close `name`.
bool ContentScanner::endTag(const char*& p, std::string_view name)
{
    const char* q = p + 2;
    for (size_t i = 0; i < name.size(); ++i, ++q)
        if (*q != name[i])
            return false;
    if (!is(*q, kEndsName))
        return false; // a longer name
    q = skipBlanks(q);
    if (*q != '>')
        return false;
    p = q + 1;
    return true;
}

// Passes text to the next markup, which must be a tag; text with a reference
// is left to the XML reader, which checks it.
bool ContentScanner::passText(const char*& p)
{
    while (!is(*p, kEndsText))
        ++p;
    if (*p != '<')
        return false;
    if (p[1] == '\0')
        return false;
    return p[1] != '!' && p[1] != '?';
}

// The text of an element `name` that holds nothing else, to past its end
// tag, its references decoded into `out`.
bool ContentScanner::leafText(const char*& p, std::string_view name, std::string& out)
{
    const char* const text = p;
    const char* open = p;
    while (!is(*open, kEndsText))
        ++open;
    const bool references = *open == '&';
    if (references) {
        open = static_cast<const char*>(std::memchr(open, '<', static_cast<size_t>(end_ - open)));
        if (open == nullptr)
            return false;
    }
    if (*open == '\0')
        return false;
    if (open[1] != '/')
        return false;
    p = open;
    if (!endTag(p, name))
        return false;
    const std::string_view content(text, static_cast<size_t>(open - text));
    if (!references) {
        out.append(content);
        return true;
    }
    return appendDecoded(content, out);
}

// The content of an element `name` at `depth`, to past its end tag. With
// `out`, that of an <si>, <is> or <r>: the text of its <t> and of the <t> of
// its runs, other children passed over.
bool ContentScanner::content(const char*& p, std::string_view name, std::string* out, int depth)
{
    if (depth > maxDepth_)
        return false;
    for (;;) {
        if (!passText(p))
            return false;
        if (p[1] == '/')
            return endTag(p, name);
        std::string_view child;
        bool empty;
        if (!elementName(p, child) || depth + 1 > maxDepth_ || !attributes(p, empty, nullptr, 0))
            return false;
        if (empty)
            continue;
        if (out && child == "t") {
            if (!leafText(p, child, *out))
                return false;
        } else if (!content(p, child, out && child == "r" ? out : nullptr, depth + 1)) {
            return false;
        }
    }
}

} // namespace xl
