// Reading text files line by line as editors save them. The conversions and
// the check of UTF-8 are the spreadsheet layer's (xl_utf8); what is here is
// finding the encoding and the line ends, and saying what is wrong where.
#include "text_lines.h"

#include "utf8.h"

#include <algorithm>
#include <cstdio>

namespace tools {
namespace {

std::string hexByte(unsigned char byte)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

const std::string kReplacement = "\xEF\xBF\xBD";
const std::string kNulFault = "it holds a NUL character (is the file UTF-16 without its byte-order mark?)";

std::string tooLong() { return "it is longer than " + std::to_string(kMaxLineBytes) + " bytes, and was cut there"; }

// A line's UTF-8 bytes as text, with what is wrong with them.
void takeUtf8(std::string_view bytes, TextLine& line)
{
    const size_t valid = xl::validUtf8Prefix(bytes);
    const bool hasNul = bytes.find('\0') != std::string_view::npos;
    if (valid == bytes.size() && !hasNul) {
        line.text.assign(bytes);
        return;
    }
    if (line.fault.empty()) {
        if (valid < bytes.size())
            line.fault = "it is not valid UTF-8: byte " + hexByte(static_cast<unsigned char>(bytes[valid])) +
                         " at byte " + std::to_string(valid + 1) + " of the line";
        else
            line.fault = kNulFault;
    }
    // The conversion there and back puts U+FFFD for every ill-formed sequence.
    for (const char16_t unit : xl::utf8ToUtf16(bytes)) {
        if (unit == 0)
            line.text += kReplacement;
        else
            xl::appendUtf8(std::u16string_view(&unit, 1), line.text);
    }
}

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit < 0xDC00; }
bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit < 0xE000; }

// A line's UTF-16 code units as text, with what is wrong with them.
void takeUtf16(std::u16string_view units, TextLine& line)
{
    for (size_t i = 0; i < units.size() && line.fault.empty(); ++i) {
        if (units[i] == 0) {
            line.fault = "it holds a NUL character";
        } else if (isHighSurrogate(units[i]) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) {
            ++i;
        } else if (isHighSurrogate(units[i]) || isLowSurrogate(units[i])) {
            char text[8];
            std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(units[i]));
            line.fault = "it is not valid UTF-16: an unpaired surrogate U+" + std::string(text) + " at character " +
                         std::to_string(i + 1) + " of the line";
        }
    }
    std::string text;
    xl::appendUtf8(units, text);
    if (text.find('\0') == std::string::npos) {
        line.text += text;
        return;
    }
    for (const char c : text) {
        if (c == 0)
            line.text += kReplacement;
        else
            line.text += c;
    }
}

} // namespace

const char* encodingName(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8: return "UTF-8";
    case TextEncoding::Utf8WithMark: return "UTF-8 with a byte-order mark";
    case TextEncoding::Utf16LE: return "UTF-16 LE";
    case TextEncoding::Utf16BE: return "UTF-16 BE";
    }
    return "";
}

// Reads one more chunk into pending_, first dropping what was handed out.
bool TextLines::fill()
{
    if (ended_)
        return false;
    if (start_ > 0) {
        pending_.erase(0, start_);
        start_ = 0;
    }
    std::string chunk;
    std::string why;
    if (!read_(chunk, why)) {
        error_ = why;
        ended_ = true;
        return false;
    }
    if (chunk.empty())
        ended_ = true;
    pending_ += chunk;
    return !chunk.empty();
}

bool TextLines::next(TextLine& line)
{
    if (!error_.empty())
        return false;
    if (!started_) {
        started_ = true;
        while (pending_.size() < 3 && fill()) {
        }
        if (!error_.empty())
            return false;
        const std::string_view head(pending_);
        if (head.starts_with("\xEF\xBB\xBF")) {
            encoding_ = TextEncoding::Utf8WithMark;
            start_ = 3;
        } else if (head.starts_with("\xFF\xFE")) {
            encoding_ = TextEncoding::Utf16LE;
            start_ = 2;
        } else if (head.starts_with("\xFE\xFF")) {
            encoding_ = TextEncoding::Utf16BE;
            start_ = 2;
        }
    }
    line = TextLine();
    const bool utf16 = encoding_ == TextEncoding::Utf16LE || encoding_ == TextEncoding::Utf16BE;
    for (;;) {
        if (utf16 ? takeUtf16Line(line, ended_) : takeUtf8Line(line, ended_))
            return true;
        if (ended_ || (!fill() && !error_.empty()))
            return false;
    }
}

// A line from pending_ when its end is there (or the input's); false when
// more must be read first, or at the end of the input.
bool TextLines::takeUtf8Line(TextLine& line, bool atEnd)
{
    if (skipping_) {
        const size_t end = pending_.find('\n', start_);
        skipping_ = end == std::string::npos;
        start_ = skipping_ ? pending_.size() : end + 1;
        if (skipping_)
            return false;
    }
    const size_t end = pending_.find('\n', start_);
    const size_t length = (end == std::string::npos ? pending_.size() : end) - start_;
    if (end == std::string::npos && (atEnd ? length == 0 : length <= kMaxLineBytes))
        return false;
    line.number = ++lineNumber_;
    std::string_view bytes(pending_.data() + start_, std::min(length, kMaxLineBytes));
    if (length > kMaxLineBytes)
        line.fault = tooLong();
    else if (bytes.ends_with('\r'))
        bytes.remove_suffix(1);
    takeUtf8(bytes, line);
    // A line cut before its end was read: the rest is passed over as it comes.
    skipping_ = end == std::string::npos && !atEnd;
    start_ = end == std::string::npos ? pending_.size() : end + 1;
    return true;
}

bool TextLines::takeUtf16Line(TextLine& line, bool atEnd)
{
    const bool little = encoding_ == TextEncoding::Utf16LE;
    auto unitAt = [&](size_t at) {
        const auto first = static_cast<unsigned char>(pending_[at]);
        const auto second = static_cast<unsigned char>(pending_[at + 1]);
        return static_cast<char16_t>(little ? first | second << 8 : first << 8 | second);
    };
    // Where the line's LF unit is, or npos; start_ stays on a unit's first byte.
    auto lineEnd = [&] {
        for (size_t at = start_; at + 1 < pending_.size(); at += 2) {
            if (unitAt(at) == u'\n')
                return at;
        }
        return std::string::npos;
    };
    const size_t wholeUnits = (pending_.size() - start_) & ~size_t{1};
    if (skipping_) {
        const size_t end = lineEnd();
        skipping_ = end == std::string::npos;
        start_ = skipping_ ? start_ + wholeUnits : end + 2;
        if (skipping_)
            return false;
    }
    const size_t end = lineEnd();
    const size_t available = pending_.size() - start_;
    const size_t length = end == std::string::npos ? available : end - start_;
    if (end == std::string::npos && (atEnd ? length == 0 : length <= kMaxLineBytes))
        return false;
    line.number = ++lineNumber_;
    std::u16string units;
    for (size_t at = start_; at + 1 < start_ + std::min(length, kMaxLineBytes); at += 2)
        units.push_back(unitAt(at));
    if (length > kMaxLineBytes)
        line.fault = tooLong();
    else if (!units.empty() && units.back() == u'\r')
        units.pop_back();
    takeUtf16(units, line);
    if (end != std::string::npos) {
        start_ = end + 2;
    } else if (atEnd) {
        if (length % 2 != 0) {
            line.text += kReplacement;
            if (line.fault.empty())
                line.fault = "the file ends in the middle of a UTF-16 character";
        }
        start_ = pending_.size();
    } else {
        skipping_ = true;
        start_ += wholeUnits;
    }
    return true;
}

bool decodeText(std::string_view bytes, std::string& utf8, std::string& error)
{
    bool given = false;
    TextLines lines([&](std::string& chunk, std::string&) {
        chunk.clear();
        if (!given)
            chunk.assign(bytes);
        given = true;
        return true;
    });
    utf8.clear();
    TextLine line;
    while (lines.next(line)) {
        if (!line.fault.empty()) {
            error = "line " + std::to_string(line.number) + ": " + line.fault;
            return false;
        }
        utf8 += line.text;
        utf8 += '\n';
    }
    return true;
}

} // namespace tools
