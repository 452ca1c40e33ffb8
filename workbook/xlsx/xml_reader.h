// A pull reader for the XML of package parts. It reads a part piece by piece
// as its zip entry inflates, so that memory follows the largest tag rather
// than the part, and each piece is tokenized while it is still in the
// processor's cache.
//
// It reads the XML that workbook writers produce: UTF-8 with or without a
// byte order mark, or UTF-16 in either byte order; line ends made LF before
// anything else (so that &#13; stays a CR); the five named entities and
// character references decoded, other references left as written; CDATA as
// text; comments and processing instructions skipped. What a hostile part
// could turn against its reader is refused: document type declarations (the
// carrier of entity bombs) and other markup declarations, NUL bytes, nesting
// deeper than kMaxDepth and more than kMaxItems items in one stretch.
// Elements and attributes are matched on local names: files write the same
// element as <c>, <x:c> or <ns2:c>, in the transitional or Strict namespace.
//
// A fault stops the reader with a LoadError that names the part and the byte
// at fault; a reader that has failed throws the same again if it is used on.
#pragma once

#include "common/load_error.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace xl {

// Appends `text`, which holds no markup, to `out` with its references
// decoded as XmlReader decodes them in text. False at a reference that is
// not well-formed, with `out` then holding part of the text.
bool appendDecoded(std::string_view text, std::string& out);

class XmlReader {
public:
    // Puts up to `room` (> 0) more bytes of the part into `out` and says how
    // many: 0 only at the end of the part. Throws a LoadError when the part
    // cannot be read on; the reader passes it on as it is.
    using Source = std::function<size_t(char* out, size_t room)>;

    // Elements may nest 256 levels deep; real parts use fewer than 20.
    static constexpr int kMaxDepth = 256;
    // At most a million elements, attributes and texts in one stretch: from
    // one call of startItemCount to the next (one row, one shared string), or
    // the whole part. A full row of 16384 cells holds about 130,000.
    static constexpr size_t kMaxItems = 1000000;
    // What is read at a time: with zlib's window, it stays in the cache.
    static constexpr size_t kPieceSize = size_t(64) << 10;

    enum class Token { StartTag, EndTag, End };

    // Reads the part called `name` (for messages) from `source`, a piece of
    // `pieceSize` bytes at a time; tests make it a byte or two, so that every
    // kind of token meets the edge of a piece. `declaredSize` is what the
    // part's zip entry declares, or 0 when unknown.
    XmlReader(std::string name, Source source, size_t pieceSize = kPieceSize, uint64_t declaredSize = 0);

    // Moves to the next start tag, end tag or the end of the part, past text
    // and other markup. An empty element (<a/>) gives a start tag and an end
    // tag.
    void next();
    // Moves to the next start tag whose local name is `localName`. False at
    // the end of the part.
    bool find(std::string_view localName);
    // Moves to the next start tag of a child of the element at `level`,
    // inside which the reader is. False at that element's end tag.
    bool nextChild(int level);
    // Moves past the content of the element whose start tag is current, to
    // its end tag.
    void skipElement()
    {
        const int current = level();
        while (nextChild(current)) {
        }
    }
    // Appends the text of the element whose start tag is current and moves to
    // its end tag: its text and CDATA, not the text of elements inside it.
    // Text of blanks alone counts only when it is all that the element holds
    // (<t> </t>); between markup it is layout.
    void readText(std::string& out);
    // Moves to the root element, which must have the local name
    // `localName`; otherwise rejects the part as `notWhat` ("not a workbook").
    void enterRoot(std::string_view localName, std::string_view notWhat);
    // Reads on to the end of the part, checking its XML.
    void readToEnd();
    // Fails the part for what its content means, at `cell` or at the byte
    // `offset` when they are given, and stops the reader.
    [[noreturn]] void reject(std::string what, std::optional<CellPosition> cell = std::nullopt,
                             std::optional<uint64_t> offset = std::nullopt);
    // Starts a new stretch for kMaxItems.
    void startItemCount() { items_ = 0; }

    // For a scanner that reads whole children of the current element itself
    // (ContentScanner), between tokens: the bytes of the part that this
    // reader holds and has not read yet, with a NUL after them, which the
    // part cannot hold. The scanner reads nothing more from the part, so
    // that the part is read in the same pieces, and a fault of a piece (a
    // NUL) found at the same place, whoever reads it. Empty when the current
    // tag is an empty element's (<a/>), which has no content.
    std::string_view window() const
    {
        return endPending_ || failure_ ? std::string_view() : std::string_view(buffer_.data() + pos_, end_ - pos_);
    }
    // Passes the first `count` bytes of the window, which the scanner found
    // to be whole elements and text that this reader would read without
    // fault, and which leave the open elements as they were.
    void passWindow(size_t count) { pos_ += count; }

    Token token() const { return token_; }
    // The name of the current tag as written ("x:c"), and without its prefix.
    std::string_view name() const { return name_; }
    std::string_view localName() const { return localName_; }
    // The level of the current tag's element: 1 for the root.
    int level() const { return token_ == Token::EndTag ? open_ + 1 : open_; }
    // The value of the current start tag's first attribute with the local
    // name `localName` ("id" finds r:id), entities decoded; null when it has
    // none. Like name(), valid until the reader moves.
    std::optional<std::string_view> attribute(std::string_view localName) const
    {
        for (const Attribute& attribute : attributes_)
            if (attribute.localName == localName)
                return attribute.value;
        return std::nullopt;
    }
    // Byte offset of the current tag in the part, as UTF-8 with LF line ends.
    uint64_t offset() const { return tokenOffset_; }
    // The size the part declares: within the zip limits, and checked once the
    // part is read, so a fair guess of room to reserve for what it holds.
    uint64_t declaredSize() const { return declaredSize_; }

private:
    // What the reader met: Text includes CDATA; Blank is text of blanks
    // alone; Markup is a comment or processing instruction.
    enum class Item { StartTag, EndTag, Text, Blank, Markup, End };
    // A tag not yet complete in the buffer asks for More, and is read again
    // from its start once the next piece is in.
    enum class Step { Done, More };
    struct Attribute {
        std::string_view localName;
        std::string_view value;
    };
    // An open element's name, for its end tag to match: up to kHeadSize
    // bytes packed in a word, which is all that names in sheets have, and
    // the bytes past them in longNames_ from `rest`.
    static constexpr size_t kHeadSize = 8;
    struct OpenElement {
        uint64_t head;
        uint32_t length;
        uint32_t rest;
    };

    Item pull(std::string* text);
    Step otherMarkup(std::string* text, Item& item);
    Step startTag();
    void decodeAttributeValues();
    Step endTag();
    void openElement(std::string_view name);
    bool closes(std::string_view name) const;
    void closeElement()
    {
        const OpenElement& element = openElements_[static_cast<size_t>(--open_)];
        if (element.length > kHeadSize)
            longNames_.resize(element.rest);
        token_ = Token::EndTag;
    }
    std::string openName() const;
    bool readPlainText(std::string& out);
    bool passText(std::string* text);
    void passPast(size_t opening, std::string_view terminator, std::string* text, const char* unterminated);
    void fill();
    void startPart();
    size_t readSource(char* out, size_t room);
    void takeNewBytes(size_t count);
    void countItems(size_t count)
    {
        items_ += count;
        if (items_ > kMaxItems)
            failItems();
    }
    [[noreturn]] void failItems();
    Step incomplete(const char* what);
    [[noreturn]] void malformed(const char* what, const char* at);
    [[noreturn]] void fail(std::string what, uint64_t offset);
    [[noreturn]] void stop(LoadError error);

    std::string partName_;
    Source source_;
    size_t pieceSize_;
    uint64_t declaredSize_;

    // Bytes of the part from base_ on, with [pos_, end_) not yet read and a
    // NUL at end_.
    std::string buffer_;
    size_t pos_ = 0;
    size_t end_ = 0;
    uint64_t base_ = 0;
    bool started_ = false;
    bool sourceEnded_ = false;
    bool afterCr_ = false; // the last byte read was a CR, made LF

    Token token_ = Token::End;
    uint64_t tokenOffset_ = 0;
    std::string_view name_;
    std::string_view localName_;
    std::vector<Attribute> attributes_;
    bool endPending_ = false; // an empty element's end tag is next
    int open_ = 0;            // elements open after the current tag
    std::array<OpenElement, kMaxDepth> openElements_;
    std::string longNames_;
    size_t items_ = 0;
    std::optional<LoadError> failure_; // once the reader has failed
};

} // namespace xl
