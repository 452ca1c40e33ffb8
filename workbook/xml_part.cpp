// The XML of one part: encoding and line-end normalisation, the scan that
// guards rapidxml, and parsing of the whole part or of one child at a time.
#include "xml_part.h"

#include "text_codec.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace xl {
namespace {

// Names and values are used through their sizes, so rapidxml need not write
// terminators into the text; the text then keeps its blank-only contents.
constexpr int kParseFlags = rapidxml::parse_no_string_terminators | rapidxml::parse_validate_closing_tags;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view stripPrefix(std::string_view name)
{
    const size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string decodeUtf16(std::string_view bytes, bool bigEndian)
{
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto b0 = static_cast<unsigned char>(bytes[i]), b1 = static_cast<unsigned char>(bytes[i + 1]);
        units.push_back(static_cast<char16_t>(bigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0));
    }
    if (bytes.size() % 2)
        units.push_back(0xFFFD);
    return utf16ToUtf8(units);
}

// `prefix` is a literal, which may hold NULs.
template <size_t N>
bool startsWith(std::string_view text, const char (&prefix)[N])
{
    return text.size() >= N - 1 && std::memcmp(text.data(), prefix, N - 1) == 0;
}

void convertToUtf8(std::string& text)
{
    const std::string_view view(text);
    if (startsWith(view, "\xEF\xBB\xBF"))
        text.erase(0, 3);
    else if (startsWith(view, "\xFF\xFE"))
        text = decodeUtf16(view.substr(2), false);
    else if (startsWith(view, "\xFE\xFF"))
        text = decodeUtf16(view.substr(2), true);
    // Without a byte order mark the first '<' shows the byte order.
    else if (startsWith(view, "<\0"))
        text = decodeUtf16(view, false);
    else if (startsWith(view, "\0<"))
        text = decodeUtf16(view, true);
}

void normaliseLineEnds(std::string& text)
{
    size_t in = text.find('\r');
    size_t out = in;
    while (in != std::string::npos) {
        // text[in] is a CR: it and an LF after it become one LF, and the run
        // up to the next CR moves down in one piece.
        text[out++] = '\n';
        in += (in + 1 < text.size() && text[in + 1] == '\n') ? 2 : 1;
        const size_t next = text.find('\r', in);
        const size_t runEnd = next == std::string::npos ? text.size() : next;
        std::memmove(text.data() + out, text.data() + in, runEnd - in);
        out += runEnd - in;
        in = next;
    }
    if (out != std::string::npos)
        text.resize(out);
}

} // namespace

// Walks the markup of a text token by token: enough of XML to find where
// elements start and end, to bound what rapidxml will do with them, and to
// see the blank-only element contents that rapidxml drops.
class XmlPart::Scanner {
public:
    enum class Kind { StartTag, EndTag, End };
    struct Token {
        Kind kind = Kind::End;
        char* begin = nullptr; // the '<'
        char* end = nullptr;   // past the '>'
        std::string_view name;
        bool selfClosing = false;
    };

    Scanner(std::string& text, std::vector<BlankContent>& blanks)
        : begin_(text.data()), position_(text.data()), end_(text.data() + text.size()), blanks_(blanks)
    {
        if (const void* nul = std::memchr(begin_, '\0', text.size())) {
            position_ = static_cast<char*>(const_cast<void*>(nul));
            what_ = "NUL byte (the part is not UTF-8 or UTF-16 text)";
        }
    }

    // Open elements after the last token.
    int depth() const { return depth_; }
    const std::string& what() const { return what_; }
    size_t offset() const { return static_cast<size_t>(position_ - begin_); }

    // Starts counting the items of a new tree.
    void startTree()
    {
        items_ = 0;
        blanks_.clear();
    }

    // The next tag; false with what() set on a fault.
    bool next(Token& token)
    {
        if (!what_.empty())
            return false;
        for (;;) {
            if (position_ == end_) {
                token = Token{};
                return true;
            }
            if (*position_ != '<') {
                if (!skipText())
                    return false;
                continue;
            }
            char* const tag = position_;
            const std::string_view rest(tag, static_cast<size_t>(end_ - tag));
            openElement_ = nullptr;
            if (rest.starts_with("<?")) {
                if (!skipPast(rest, "?>", "processing instruction"))
                    return false;
            } else if (rest.starts_with("<!--")) {
                if (!skipPast(rest, "-->", "comment"))
                    return false;
            } else if (rest.starts_with("<![CDATA[")) {
                if (!skipPast(rest, "]]>", "CDATA section") || !countItem())
                    return false;
            } else if (rest.starts_with("<!")) {
                what_ = rest.substr(2, 7) == "DOCTYPE" ? "document type declaration (not accepted)"
                                                       : "markup declaration (not accepted)";
                return false;
            } else if (rest.starts_with("</")) {
                return endTag(token);
            } else {
                return startTag(token);
            }
        }
    }

private:
    bool countItem()
    {
        if (++items_ <= kMaxTreeItems)
            return true;
        what_ = "more than " + std::to_string(kMaxTreeItems) + " elements, attributes and texts in one element";
        return false;
    }

    bool skipPast(std::string_view rest, std::string_view terminator, const char* what)
    {
        const size_t found = rest.find(terminator);
        if (found == std::string_view::npos) {
            what_ = std::string("unterminated ") + what;
            return false;
        }
        position_ += found + terminator.size();
        return true;
    }

    bool skipText()
    {
        char* const text = position_;
        auto* next = static_cast<char*>(std::memchr(text, '<', static_cast<size_t>(end_ - text)));
        position_ = next ? next : end_;
        if (!std::all_of(text, position_, isBlank))
            return countItem();
        if (openElement_ && end_ - position_ >= 2 && position_[1] == '/')
            blanks_.push_back({openElement_, std::string_view(text, static_cast<size_t>(position_ - text))});
        openElement_ = nullptr;
        return true;
    }

    bool endTag(Token& token)
    {
        token = Token{Kind::EndTag, position_, nullptr, {}, false};
        auto* close = static_cast<char*>(std::memchr(position_, '>', static_cast<size_t>(end_ - position_)));
        if (!close) {
            what_ = "unterminated end tag";
            return false;
        }
        if (--depth_ < 0) {
            what_ = "end tag without a start tag";
            return false;
        }
        token.name = std::string_view(position_ + 2, static_cast<size_t>(close - position_ - 2));
        position_ = token.end = close + 1;
        return true;
    }

    bool startTag(Token& token)
    {
        token = Token{Kind::StartTag, position_, nullptr, {}, false};
        char* const name = position_ + 1;
        char* p = name;
        while (p < end_ && !isBlank(*p) && *p != '/' && *p != '>')
            ++p;
        if (p == name) {
            what_ = "'<' that starts no tag";
            return false;
        }
        token.name = std::string_view(name, static_cast<size_t>(p - name));
        for (;;) {
            if (p == end_) {
                what_ = "unterminated tag";
                return false;
            }
            if (*p == '>') {
                ++p;
                break;
            }
            if (*p == '/' && end_ - p >= 2 && p[1] == '>') {
                token.selfClosing = true;
                p += 2;
                break;
            }
            if (*p == '"' || *p == '\'') {
                auto* quote = static_cast<char*>(std::memchr(p + 1, *p, static_cast<size_t>(end_ - p - 1)));
                if (!quote) {
                    what_ = "unterminated attribute value";
                    return false;
                }
                p = quote + 1;
                continue;
            }
            if (*p == '=' && !countItem())
                return false;
            ++p;
        }
        if (!countItem())
            return false;
        if (depth_ >= kMaxDepth) {
            what_ = "elements nested more than " + std::to_string(kMaxDepth) + " levels deep";
            return false;
        }
        if (!token.selfClosing) {
            ++depth_;
            openElement_ = name;
        }
        position_ = token.end = p;
        return true;
    }

    char* const begin_;
    char* position_;
    char* const end_;
    std::vector<BlankContent>& blanks_;
    std::string what_;
    int depth_ = 0;
    size_t items_ = 0;
    char* openElement_ = nullptr; // a start tag just read, whose content is still unknown
};

XmlPart::XmlPart(std::string name, std::string bytes)
    : name_(std::move(name)), text_(std::move(bytes)), document_(std::make_unique<rapidxml::xml_document<char>>())
{
    convertToUtf8(text_);
    normaliseLineEnds(text_);
}

XmlPart::~XmlPart() = default;

std::string XmlPart::fail(const Scanner& scanner) const
{
    return name_ + ": " + scanner.what() + " at byte " + std::to_string(scanner.offset());
}

const XmlNode* XmlPart::parseRange(char* begin, char* end, std::string& error)
{
    // rapidxml reads up to a NUL; the byte after the range is put back
    // before anyone looks at the tree, which never refers to it.
    const char saved = *end;
    *end = '\0';
    try {
        document_->clear();
        document_->parse<kParseFlags>(begin);
    } catch (const rapidxml::parse_error& e) {
        *end = saved;
        error = name_ + ": malformed XML (" + e.what() + ") at byte " + std::to_string(offsetOf(e.where<char>()));
        return nullptr;
    } catch (const std::bad_alloc&) {
        *end = saved;
        error = name_ + ": out of memory while parsing the XML at byte " + std::to_string(offsetOf(begin));
        return nullptr;
    }
    *end = saved;
    const XmlNode* root = document_->first_node();
    if (!root)
        error = name_ + ": no XML element";
    return root;
}

const XmlNode* XmlPart::parseDocument(std::string& error)
{
    Scanner scanner(text_, blanks_);
    scanner.startTree();
    Scanner::Token token;
    do {
        if (!scanner.next(token)) {
            error = fail(scanner);
            return nullptr;
        }
    } while (token.kind != Scanner::Kind::End);
    return parseRange(text_.data(), text_.data() + text_.size(), error);
}

bool XmlPart::forEachChild(std::string_view container, const std::function<bool(const XmlNode&)>& visit,
                           std::string& error)
{
    Scanner scanner(text_, blanks_);
    Scanner::Token token;
    int containerDepth = -1; // open elements while inside the container
    char* child = nullptr;   // start of the child being scanned
    for (;;) {
        if (!child)
            scanner.startTree();
        if (!scanner.next(token)) {
            error = fail(scanner);
            return false;
        }
        if (token.kind == Scanner::Kind::End) {
            if (containerDepth < 0)
                return true;
            error = name_ + ": the part ends inside its <" + std::string(container) + "> element";
            return false;
        }
        if (containerDepth < 0) {
            if (token.kind == Scanner::Kind::StartTag && stripPrefix(token.name) == container) {
                if (token.selfClosing)
                    return true;
                containerDepth = scanner.depth();
            }
            continue;
        }
        if (!child) {
            if (token.kind == Scanner::Kind::EndTag)
                return true; // the container closes
            if (!token.selfClosing) {
                child = token.begin;
                continue;
            }
        } else if (token.kind != Scanner::Kind::EndTag || scanner.depth() != containerDepth) {
            continue;
        }
        const XmlNode* node = parseRange(child ? child : token.begin, token.end, error);
        child = nullptr;
        if (!node || !visit(*node))
            return false;
    }
}

void XmlPart::appendText(const XmlNode& element, std::string& out) const
{
    bool found = false;
    for (const XmlNode* node = element.first_node(); node; node = node->next_sibling()) {
        if (node->type() == rapidxml::node_data || node->type() == rapidxml::node_cdata) {
            out.append(node->value(), node->value_size());
            found = true;
        }
    }
    if (found)
        return;
    const char* name = element.name();
    const auto blank = std::lower_bound(blanks_.begin(), blanks_.end(), name,
                                        [](const BlankContent& b, const char* n) { return b.elementName < n; });
    if (blank != blanks_.end() && blank->elementName == name)
        out.append(blank->blanks);
}

std::string_view localName(const XmlNode& node)
{
    return stripPrefix(std::string_view(node.name(), node.name_size()));
}

const XmlNode* firstChild(const XmlNode& parent, std::string_view name)
{
    for (const XmlNode* node = parent.first_node(); node; node = node->next_sibling())
        if (node->type() == rapidxml::node_element && localName(*node) == name)
            return node;
    return nullptr;
}

const XmlAttribute* findAttribute(const XmlNode& element, std::string_view name)
{
    for (const XmlAttribute* attribute = element.first_attribute(); attribute;
         attribute = attribute->next_attribute())
        if (stripPrefix(std::string_view(attribute->name(), attribute->name_size())) == name)
            return attribute;
    return nullptr;
}

std::string_view attributeValue(const XmlAttribute& attribute)
{
    return std::string_view(attribute.value(), attribute.value_size());
}

} // namespace xl
