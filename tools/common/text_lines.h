// Text files as editors save them, read line by line into UTF-8: UTF-8 with
// or without a byte-order mark (Notepad writes one), UTF-16 little- or
// big-endian with its mark (Notepad's "Unicode"), LF or CRLF line ends. A
// line whose bytes are not valid text in the file's encoding is handed out
// with U+FFFD in place of what is wrong and says what it is, so that no
// invalid byte reaches the output. Memory stays bounded whatever the file's
// size: a chunk of input and one line, itself cut at kMaxLineBytes.
//
// A pass that must see every line before the first is answered reads the
// input twice with two readers: a file is opened again, and standard input
// is first copied to a temporary file.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tools {

// The longest line kept; a longer one is cut there and marked faulty.
inline constexpr size_t kMaxLineBytes = size_t{1} << 16;

struct TextLine {
    size_t number = 0;  // from 1
    std::string text;   // UTF-8, without its line end
    std::string fault;  // empty, or what is wrong with its bytes, for people
};

enum class TextEncoding { Utf8, Utf8WithMark, Utf16LE, Utf16BE };
const char* encodingName(TextEncoding encoding);

class TextLines {
public:
    // Fills its argument with the next bytes of the input, empty at its
    // end; false with the reason in its second argument when reading fails.
    using Read = std::function<bool(std::string& chunk, std::string& why)>;

    explicit TextLines(Read read) : read_(std::move(read)) {}

    // The next line, empty ones included; false at the end of the input or
    // when it cannot be read (then `error()` says why).
    bool next(TextLine& line);
    const std::string& error() const { return error_; }
    // Known once the first line has been asked for.
    TextEncoding encoding() const { return encoding_; }

private:
    bool fill();
    bool takeUtf8Line(TextLine& line, bool atEnd);
    bool takeUtf16Line(TextLine& line, bool atEnd);

    Read read_;
    std::string pending_;  // bytes read and not yet handed out
    size_t start_ = 0;     // where the next line begins in pending_
    size_t lineNumber_ = 0;
    bool started_ = false;
    bool ended_ = false;
    bool skipping_ = false;  // passing over the rest of a line too long to keep
    TextEncoding encoding_ = TextEncoding::Utf8;
    std::string error_;
};

// The whole of `bytes`, decoded as TextLines reads a file, as UTF-8 with LF
// line ends. False with `error` ("line 3: ...") at the first faulty line.
bool decodeText(std::string_view bytes, std::string& utf8, std::string& error);

} // namespace tools
