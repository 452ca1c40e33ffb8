// The pull reader: its buffer and refills, encodings and line ends, tags,
// references, and the text of elements.
#include "xlsx/xml_reader.h"

#include "common/quote.h"
#include "utf8.h"
#include "xlsx/hex_digit.h"
#include "xlsx/xml_bytes.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace xl {
namespace {

using namespace xml_bytes;

bool isBlank(char c)
{
    return is(c, kBlank);
}


// Where a name that starts at `p` ends, at the first byte of class `ends`,
// and where its local part starts, after the last ':'.
const char* scanName(const char* p, uint8_t ends, const char*& local)
{
    local = p;
    for (;; ++p) {
        if (!is(*p, ends | kColon))
            continue;
        if (is(*p, ends))
            return p;
        local = p + 1;
    }
}

// The first bytes of a name in a word; a loop, as names are short.
uint64_t headOf(std::string_view name, size_t headSize)
{
    uint64_t head = 0;
    const size_t size = std::min(name.size(), headSize);
    for (size_t i = 0; i < size; ++i)
        head |= uint64_t(static_cast<unsigned char>(name[i])) << (8 * i);
    return head;
}

// `prefix` is a literal, which may hold NULs.
template <size_t N>
bool startsWith(std::string_view text, const char (&prefix)[N])
{
    return text.size() >= N - 1 && std::memcmp(text.data(), prefix, N - 1) == 0;
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

int digitValue(char c, bool hex)
{
    if (hex)
        return hexDigitValue(static_cast<unsigned char>(c));
    return c >= '0' && c <= '9' ? c - '0' : -1;
}

enum class Reference { Decoded, Literal, CutOff, Invalid };

struct DecodedReference {
    char bytes[4];
    size_t size = 0;   // of bytes
    size_t length = 0; // of the reference in the text
    const char* why = nullptr;
};

// The reference whose '&' is at `amp`, in text known up to `end`, after
// which more may follow when `more`. A name other than the five that XML
// predefines leaves the '&' as written; a character reference must be
// well-formed and name a code point below 0x110000.
Reference readReference(const char* amp, const char* end, bool more, DecodedReference& decoded)
{
    const std::string_view rest(amp + 1, static_cast<size_t>(end - amp - 1));
    if (rest.empty() || rest[0] != '#') {
        static constexpr std::pair<std::string_view, char> kNamed[] = {
            {"lt;", '<'}, {"gt;", '>'}, {"amp;", '&'}, {"apos;", '\''}, {"quot;", '"'}};
        bool cutOff = false;
        for (const auto& [name, character] : kNamed) {
            if (rest.starts_with(name)) {
                decoded.bytes[0] = character;
                decoded.size = 1;
                decoded.length = 1 + name.size();
                return Reference::Decoded;
            }
            cutOff = cutOff || name.starts_with(rest);
        }
        return cutOff && more ? Reference::CutOff : Reference::Literal;
    }
    if (rest.size() < 2 && more)
        return Reference::CutOff;
    const bool hex = rest.size() > 1 && rest[1] == 'x';
    size_t at = hex ? 2 : 1;
    const size_t firstDigit = at;
    uint32_t code = 0;
    for (int digit; at < rest.size() && (digit = digitValue(rest[at], hex)) >= 0; ++at)
        code = std::min<uint32_t>(code * (hex ? 16 : 10) + static_cast<uint32_t>(digit), 0x110000);
    if (at == rest.size() && more)
        return Reference::CutOff;
    if (at == firstDigit || code >= 0x110000) {
        decoded.why = "invalid numeric character entity";
        return Reference::Invalid;
    }
    if (at == rest.size() || rest[at] != ';') {
        decoded.why = "expected ;";
        return Reference::Invalid;
    }
    decoded.size = encodeUtf8(code, decoded.bytes);
    decoded.length = 1 + at + 1;
    return Reference::Decoded;
}

// Decodes the references of [begin, end) in place, which works as no
// reference is shorter than the UTF-8 it stands for. Returns the new end, or
// null with `invalid` and `why` set at an invalid reference.
char* decodeInPlace(char* begin, char* end, const char*& invalid, const char*& why)
{
    char* out = begin;
    for (const char* p = begin; p < end;) {
        if (*p != '&') {
            *out++ = *p++;
            continue;
        }
        DecodedReference decoded;
        switch (readReference(p, end, false, decoded)) {
        case Reference::Decoded:
            out = std::copy_n(decoded.bytes, decoded.size, out);
            p += decoded.length;
            break;
        case Reference::Literal:
        case Reference::CutOff: // not without more to come
            *out++ = *p++;
            break;
        case Reference::Invalid:
            invalid = p;
            why = decoded.why;
            return nullptr;
        }
    }
    return out;
}

} // namespace

bool appendDecoded(std::string_view text, std::string& out)
{
    const char* const end = text.data() + text.size();
    for (const char* p = text.data(); p < end;) {
        const auto* amp = static_cast<const char*>(std::memchr(p, '&', static_cast<size_t>(end - p)));
        out.append(p, static_cast<size_t>((amp ? amp : end) - p));
        if (!amp)
            return true;
        DecodedReference decoded;
        switch (readReference(amp, end, false, decoded)) {
        case Reference::Decoded:
            out.append(decoded.bytes, decoded.size);
            p = amp + decoded.length;
            break;
        case Reference::Literal:
        case Reference::CutOff: // not without more to come
            out.push_back('&');
            p = amp + 1;
            break;
        case Reference::Invalid: return false;
        }
    }
    return true;
}

XmlReader::XmlReader(std::string name, Source source, size_t pieceSize, uint64_t declaredSize)
    : partName_(std::move(name)), source_(std::move(source)), pieceSize_(std::max<size_t>(pieceSize, 1)),
      declaredSize_(declaredSize)
{
}

void XmlReader::stop(LoadError error)
{
    failure_ = std::move(error);
    throw *failure_;
}

void XmlReader::fail(std::string what, uint64_t offset)
{
    stop(LoadError{.what = std::move(what), .source = partName_, .offset = offset});
}

void XmlReader::malformed(const char* what, const char* at)
{
    fail(std::string("malformed XML (") + what + ")", base_ + static_cast<uint64_t>(at - buffer_.data()));
}

XmlReader::Step XmlReader::incomplete(const char* what)
{
    if (sourceEnded_)
        fail(what, tokenOffset_);
    return Step::More;
}

void XmlReader::failItems()
{
    fail("more than " + std::to_string(kMaxItems) + " elements, attributes and texts in one element", tokenOffset_);
}

size_t XmlReader::readSource(char* out, size_t room)
{
    size_t produced = 0;
    while (produced < room && !sourceEnded_) {
        size_t got;
        try {
            got = source_(out + produced, room - produced);
        } catch (const LoadError& error) {
            stop(error);
        }
        sourceEnded_ = got == 0;
        produced += got;
    }
    return produced;
}

// The first bytes tell the encoding. A UTF-16 part is read whole and made
// UTF-8: such parts are rare and small, and need no reading piece by piece.
void XmlReader::startPart()
{
    started_ = true;
    buffer_.resize(std::max<size_t>(pieceSize_, 4) + 1);
    size_t produced = readSource(buffer_.data(), buffer_.size() - 1);
    const std::string_view head(buffer_.data(), produced);
    const bool bigEndian = startsWith(head, "\xFE\xFF") || startsWith(head, "\0<");
    const bool utf16 = bigEndian || startsWith(head, "\xFF\xFE") || startsWith(head, "<\0");
    if (!utf16) {
        if (startsWith(head, "\xEF\xBB\xBF")) {
            std::memmove(buffer_.data(), buffer_.data() + 3, produced - 3);
            produced -= 3;
        }
        takeNewBytes(produced);
        return;
    }
    std::string bytes(head);
    while (!sourceEnded_) {
        const size_t filled = bytes.size();
        bytes.resize(filled + std::max(pieceSize_, filled));
        bytes.resize(filled + readSource(bytes.data() + filled, bytes.size() - filled));
    }
    const bool byteOrderMark = startsWith(bytes, "\xFE\xFF") || startsWith(bytes, "\xFF\xFE");
    buffer_ = decodeUtf16(std::string_view(bytes).substr(byteOrderMark ? 2 : 0), bigEndian);
    buffer_.push_back('\0');
    takeNewBytes(buffer_.size() - 1);
}

// Keeps the bytes from pos_ on, which a token not yet complete needs, and
// adds the next piece of the part after them; at the end of the part it
// adds nothing and sets sourceEnded_.
void XmlReader::fill()
{
    if (!started_)
        return startPart();
    if (sourceEnded_)
        return;
    const size_t kept = end_ - pos_;
    std::memmove(buffer_.data(), buffer_.data() + pos_, kept);
    base_ += pos_;
    pos_ = 0;
    end_ = kept;
    // A token longer than a piece is read again from its start after each
    // fill; reading at least as much again as it holds keeps that linear.
    const size_t wanted = std::max(pieceSize_, kept);
    if (buffer_.size() < kept + wanted + 1)
        buffer_.resize(std::max(kept + wanted + 1, 2 * buffer_.size()));
    takeNewBytes(readSource(buffer_.data() + end_, wanted));
}

// Makes the `count` bytes just put after end_ part of the text: each CR, and
// each CR LF, becomes one LF, as an XML parser must make them before
// anything else; a NUL, which no XML text holds, is refused, and one put
// after them.
void XmlReader::takeNewBytes(size_t count)
{
    char* const begin = buffer_.data() + end_;
    const char* const stop = begin + count;
    const char* in = begin;
    char* out = begin;
    if (count > 0) {
        if (afterCr_ && *in == '\n')
            ++in; // the LF of a CR LF that the edge of a piece split
        afterCr_ = false;
    }
    while (const auto* cr = static_cast<const char*>(std::memchr(in, '\r', static_cast<size_t>(stop - in)))) {
        std::memmove(out, in, static_cast<size_t>(cr - in));
        out += cr - in;
        *out++ = '\n';
        in = cr + 1;
        if (in == stop)
            afterCr_ = true;
        else if (*in == '\n')
            ++in;
    }
    if (out != in)
        std::memmove(out, in, static_cast<size_t>(stop - in));
    out += stop - in;
    if (const void* nul = std::memchr(begin, '\0', static_cast<size_t>(out - begin)))
        fail("NUL byte (the part is not UTF-8 or UTF-16 text)",
             base_ + static_cast<uint64_t>(static_cast<const char*>(nul) - buffer_.data()));
    end_ = static_cast<size_t>(out - buffer_.data());
    buffer_[end_] = '\0';
}

inline XmlReader::Item XmlReader::pull(std::string* text)
{
    if (failure_)
        throw *failure_;
    if (endPending_) {
        endPending_ = false;
        closeElement();
        return Item::EndTag;
    }
    for (;;) {
        if (pos_ == end_) {
            if (!started_ || !sourceEnded_) {
                fill();
                continue;
            }
            tokenOffset_ = base_ + pos_;
            if (open_ > 0)
                fail("the part ends inside its <" + openName() + "> element", tokenOffset_);
            token_ = Token::End;
            name_ = {};
            localName_ = {};
            return Item::End;
        }
        tokenOffset_ = base_ + pos_;
        if (buffer_[pos_] != '<') {
            const bool blank = passText(text);
            if (!blank)
                countItems(1);
            return blank ? Item::Blank : Item::Text;
        }
        // Tags first: they are nearly all there is.
        const char second = pos_ + 1 < end_ ? buffer_[pos_ + 1] : '\0';
        Item item;
        Step step;
        if (second == '/') {
            item = Item::EndTag;
            step = endTag();
        } else if (second != '?' && second != '!') {
            item = Item::StartTag;
            step = startTag();
        } else {
            step = otherMarkup(text, item);
        }
        if (step == Step::Done)
            return item;
        fill();
    }
}

// Comments, processing instructions, CDATA and the declarations refused.
XmlReader::Step XmlReader::otherMarkup(std::string* text, Item& item)
{
    const std::string_view rest(buffer_.data() + pos_, end_ - pos_);
    // "<![CDATA[", the longest opening, tells them all apart.
    if (rest.size() < 9 && !sourceEnded_)
        return Step::More;
    item = Item::Markup;
    if (rest[1] == '?') {
        passPast(2, "?>", nullptr, "unterminated processing instruction");
    } else if (rest.starts_with("<!--")) {
        passPast(4, "-->", nullptr, "unterminated comment");
    } else if (rest.starts_with("<![CDATA[")) {
        item = Item::Text;
        countItems(1);
        passPast(9, "]]>", text, "unterminated CDATA section");
    } else {
        fail(rest.substr(2, 7) == "DOCTYPE" ? "document type declaration (not accepted)"
                                            : "markup declaration (not accepted)",
             tokenOffset_);
    }
    return Step::Done;
}

inline XmlReader::Step XmlReader::startTag()
{
    const char* const begin = buffer_.data() + pos_;
    const char* const end = buffer_.data() + end_;
    const char* local;
    const char* p = scanName(begin + 1, kEndsName, local);
    if (p == end)
        return incomplete("unterminated tag");
    if (p == begin + 1)
        fail("'<' that starts no tag", tokenOffset_);
    const std::string_view name(begin + 1, static_cast<size_t>(p - begin - 1));
    const std::string_view localName(local, static_cast<size_t>(p - local));
    attributes_.clear();
    bool references = false;
    bool empty = false;
    for (;;) {
        p = skipBlanks(p);
        if (*p == '>') {
            ++p;
            break;
        }
        if (*p == '/' && p[1] == '>') {
            p += 2;
            empty = true;
            break;
        }
        if (p == end || (*p == '/' && p + 1 == end))
            return incomplete("unterminated tag");
        if (*p == '/')
            malformed("expected >", p + 1);
        const char* const attributeName = p;
        p = scanName(p, kEndsAttributeName, local);
        if (p == attributeName)
            malformed("expected >", p);
        const std::string_view attribute(local, static_cast<size_t>(p - local));
        p = skipBlanks(p);
        if (p == end)
            return incomplete("unterminated tag");
        if (*p != '=')
            malformed("expected =", p);
        p = skipBlanks(p + 1);
        if (p == end)
            return incomplete("unterminated tag");
        const char quote = *p;
        if (quote != '"' && quote != '\'')
            malformed("expected ' or \"", p);
        const char* const value = ++p;
        for (;; ++p) {
            while (!is(*p, kEndsValue))
                ++p;
            if (*p == quote || p == end)
                break;
            references = references || *p == '&';
        }
        if (p == end)
            return incomplete("unterminated attribute value");
        attributes_.push_back({attribute, std::string_view(value, static_cast<size_t>(p - value))});
        ++p;
    }
    // The tag is whole and will not be read again: its values may now be
    // decoded where they are.
    if (references)
        decodeAttributeValues();
    countItems(1 + attributes_.size());
    if (open_ >= kMaxDepth)
        fail("elements nested more than " + std::to_string(kMaxDepth) + " levels deep", tokenOffset_);
    openElement(name);
    token_ = Token::StartTag;
    name_ = name;
    localName_ = localName;
    endPending_ = empty;
    pos_ = static_cast<size_t>(p - buffer_.data());
    return Step::Done;
}

void XmlReader::decodeAttributeValues()
{
    for (Attribute& attribute : attributes_) {
        char* const begin = buffer_.data() + (attribute.value.data() - buffer_.data());
        const char* invalid = nullptr;
        const char* why = nullptr;
        char* const end = decodeInPlace(begin, begin + attribute.value.size(), invalid, why);
        if (!end)
            malformed(why, invalid);
        attribute.value = std::string_view(begin, static_cast<size_t>(end - begin));
    }
}

void XmlReader::openElement(std::string_view name)
{
    OpenElement& element = openElements_[static_cast<size_t>(open_++)];
    element.head = headOf(name, kHeadSize);
    element.length = static_cast<uint32_t>(name.size());
    if (name.size() > kHeadSize) {
        element.rest = static_cast<uint32_t>(longNames_.size());
        longNames_.append(name.substr(kHeadSize));
    }
}

// Whether `name` is that of the innermost open element.
inline bool XmlReader::closes(std::string_view name) const
{
    const OpenElement& element = openElements_[static_cast<size_t>(open_ - 1)];
    return name.size() == element.length && headOf(name, kHeadSize) == element.head &&
           (name.size() <= kHeadSize ||
            std::string_view(longNames_).substr(element.rest) == name.substr(kHeadSize));
}

std::string XmlReader::openName() const
{
    const OpenElement& element = openElements_[static_cast<size_t>(open_ - 1)];
    std::string name;
    for (size_t i = 0; i < std::min<size_t>(element.length, kHeadSize); ++i)
        name.push_back(static_cast<char>(element.head >> (8 * i)));
    if (element.length > kHeadSize)
        name += longNames_.substr(element.rest);
    return name;
}

inline XmlReader::Step XmlReader::endTag()
{
    const char* const begin = buffer_.data() + pos_;
    const char* const end = buffer_.data() + end_;
    const char* local;
    const char* const nameEnd = scanName(begin + 2, kEndsName, local);
    const char* const p = skipBlanks(nameEnd);
    if (p == end)
        return incomplete("unterminated end tag");
    if (open_ == 0)
        fail("end tag without a start tag", tokenOffset_);
    const std::string_view name(begin + 2, static_cast<size_t>(nameEnd - begin - 2));
    if (!closes(name))
        malformed("invalid closing tag name", begin);
    if (*p != '>')
        malformed("expected >", p);
    closeElement();
    name_ = name;
    localName_ = std::string_view(local, static_cast<size_t>(nameEnd - local));
    pos_ = static_cast<size_t>(p + 1 - buffer_.data());
    return Step::Done;
}

// Passes the text up to the next '<' or the end of the part, into `text`
// when there is one, and says whether it was all blanks.
inline bool XmlReader::passText(std::string* text)
{
    bool blank = true;
    for (;;) {
        const char* p = buffer_.data() + pos_;
        const char* const end = buffer_.data() + end_;
        const char* run = p;
        while (!is(*p, kEndsText))
            ++p;
        if (blank)
            blank = std::all_of(run, p, isBlank);
        if (text)
            text->append(run, static_cast<size_t>(p - run));
        pos_ = static_cast<size_t>(p - buffer_.data());
        if (p < end && *p == '<')
            return blank;
        const bool more = !sourceEnded_;
        if (p < end) {
            // A reference; text of blanks holds none.
            blank = false;
            DecodedReference decoded;
            switch (readReference(p, end, more, decoded)) {
            case Reference::Decoded:
                if (text)
                    text->append(decoded.bytes, decoded.size);
                pos_ += decoded.length;
                continue;
            case Reference::Literal:
                if (text)
                    text->push_back('&');
                ++pos_;
                continue;
            case Reference::Invalid: malformed(decoded.why, p);
            case Reference::CutOff: break;
            }
        }
        if (!more)
            return blank;
        fill();
    }
}

// Passes markup from its opening to past its `terminator`, its content into
// `text` when there is one.
void XmlReader::passPast(size_t opening, std::string_view terminator, std::string* text, const char* unterminated)
{
    pos_ += opening;
    for (;;) {
        const std::string_view rest(buffer_.data() + pos_, end_ - pos_);
        const size_t found = rest.find(terminator);
        if (found != std::string_view::npos) {
            if (text)
                text->append(rest.substr(0, found));
            pos_ += found + terminator.size();
            return;
        }
        if (sourceEnded_)
            fail(unterminated, tokenOffset_);
        // The last bytes may begin the terminator; the rest is passed.
        const size_t passed = rest.size() - std::min(rest.size(), terminator.size() - 1);
        if (text)
            text->append(rest.substr(0, passed));
        pos_ += passed;
        fill();
    }
}

void XmlReader::next()
{
    Item item;
    do
        item = pull(nullptr);
    while (item == Item::Text || item == Item::Blank || item == Item::Markup);
}

bool XmlReader::find(std::string_view localName)
{
    for (next(); token_ != Token::End; next())
        if (token_ == Token::StartTag && localName_ == localName)
            return true;
    return false;
}

bool XmlReader::nextChild(int level)
{
    for (;;) {
        switch (pull(nullptr)) {
        case Item::StartTag:
            if (open_ == level + 1)
                return true;
            break;
        case Item::EndTag:
            if (open_ == level - 1)
                return false;
            break;
        case Item::End: return false;
        default: break;
        }
    }
}

// Text without references straight followed by the element's own end tag
// (<v>12</v>), all in the buffer, read in one step; false, having read
// nothing, for anything else.
bool XmlReader::readPlainText(std::string& out)
{
    const char* const text = buffer_.data() + pos_;
    const char* p = text;
    while (!is(*p, kEndsText))
        ++p;
    if (*p != '<' || p[1] != '/')
        return false;
    const char* local;
    const char* const nameEnd = scanName(p + 2, kEndsName, local);
    const std::string_view name(p + 2, static_cast<size_t>(nameEnd - p - 2));
    const char* const close = skipBlanks(nameEnd);
    if (*close != '>' || !closes(name))
        return false;
    tokenOffset_ = base_ + pos_;
    if (!std::all_of(text, p, isBlank))
        countItems(1);
    out.append(text, static_cast<size_t>(p - text));
    tokenOffset_ = base_ + static_cast<uint64_t>(p - buffer_.data());
    closeElement();
    name_ = name;
    localName_ = std::string_view(local, static_cast<size_t>(nameEnd - local));
    pos_ = static_cast<size_t>(close + 1 - buffer_.data());
    return true;
}

void XmlReader::readText(std::string& out)
{
    if (!failure_ && !endPending_ && pos_ < end_ && readPlainText(out))
        return;
    const int level = open_;
    // Blanks first in the element, kept only if the end tag comes next.
    size_t leadingBlanks = std::string::npos;
    bool content = false;
    for (;;) {
        const bool inside = open_ == level;
        const size_t mark = out.size();
        const Item item = pull(inside ? &out : nullptr);
        if (!inside)
            continue;
        if (item == Item::EndTag)
            return;
        if (item == Item::Blank) {
            if (content)
                out.resize(mark);
            else
                leadingBlanks = mark;
        } else if (leadingBlanks != std::string::npos) {
            out.erase(leadingBlanks, mark - leadingBlanks);
            leadingBlanks = std::string::npos;
        }
        content = true;
    }
}

void XmlReader::enterRoot(std::string_view localName, std::string_view notWhat)
{
    next();
    if (token_ == Token::End)
        reject("no XML element");
    if (localName_ != localName)
        reject(std::string(notWhat) + " (its root element is <" + quoteForMessage(name_) + ">)");
}

void XmlReader::readToEnd()
{
    do
        next();
    while (token_ != Token::End);
}

void XmlReader::reject(std::string what, std::optional<CellPosition> cell, std::optional<uint64_t> offset)
{
    stop(LoadError{.what = std::move(what), .source = partName_, .offset = offset, .cell = cell});
}

} // namespace xl
