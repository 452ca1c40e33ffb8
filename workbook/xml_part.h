// The XML of one package part, made safe for rapidxml. rapidxml recurses
// once per nesting level, ignores document type declarations and builds a
// node for every element, attribute and text run of what it parses. So each
// part is scanned before it is parsed: nesting depth and the size of every
// tree are bounded, a DOCTYPE (the carrier of entity bombs) is refused, and
// the large parts (a sheet's rows, the shared strings) are parsed one child
// element at a time, so that memory follows the largest row, not the part.
// Elements and attributes are matched on local names: files write the same
// element as <c>, <x:c> or <ns2:c>, in the transitional or Strict namespace.
#pragma once

#include <rapidxml.hpp>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace xl {

using XmlNode = rapidxml::xml_node<char>;
using XmlAttribute = rapidxml::xml_attribute<char>;

class XmlPart {
public:
    // Elements may nest 256 levels deep. Real parts use fewer than 20, and
    // rapidxml's recursion at that depth takes well under 1 MiB of stack.
    static constexpr int kMaxDepth = 256;
    // One tree (a whole small part, or one child element of a large part)
    // may hold at most a million elements, attributes and text runs: about
    // 100 MiB of rapidxml nodes. A full row of 16384 cells needs ~130,000.
    static constexpr size_t kMaxTreeItems = 1000000;

    // Takes the bytes of the part called `name`: UTF-8 with or without a byte
    // order mark, or UTF-16 in either byte order with or without one. Line
    // ends become LF, as an XML parser must make them before parsing.
    XmlPart(std::string name, std::string bytes);
    ~XmlPart();
    XmlPart(const XmlPart&) = delete;
    XmlPart& operator=(const XmlPart&) = delete;

    const std::string& name() const { return name_; }

    // Parses the whole part as one tree: its root element, or null with
    // `error` naming the part, the fault and its byte offset.
    const XmlNode* parseDocument(std::string& error);

    // Calls `visit` for each child element of the first element whose local
    // name is `container`, each parsed on its own and valid during the call.
    // `visit` returns false to stop, having set `error`. True when every
    // child was visited, also when the part has no such element.
    bool forEachChild(std::string_view container, const std::function<bool(const XmlNode&)>& visit,
                      std::string& error);

    // Appends the text of `element` (its text and CDATA children) exactly as
    // written, including content of blanks alone, which rapidxml drops.
    void appendText(const XmlNode& element, std::string& out) const;

    // Byte offset in the part of a position inside the parsed text.
    size_t offsetOf(const char* position) const { return static_cast<size_t>(position - text_.data()); }

    struct BlankContent {
        const char* elementName; // where the element's name starts in the text
        std::string_view blanks;
    };

private:
    class Scanner;
    const XmlNode* parseRange(char* begin, char* end, std::string& error);
    std::string fail(const Scanner& scanner) const;

    std::string name_;
    std::string text_;
    std::unique_ptr<rapidxml::xml_document<char>> document_;
    std::vector<BlankContent> blanks_; // of the tree parsed last, in text order
};

// The name without its namespace prefix: "c" for <x:c>.
std::string_view localName(const XmlNode& node);
// The first child element with the local name `name`, or null.
const XmlNode* firstChild(const XmlNode& parent, std::string_view name);
// The first attribute with the local name `name` ("id" finds r:id), or null.
const XmlAttribute* findAttribute(const XmlNode& element, std::string_view name);
std::string_view attributeValue(const XmlAttribute& attribute);

} // namespace xl
