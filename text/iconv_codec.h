// Conversions between a codeset and UTF-16 on systems without the Win32 code
// page calls. iconv does the converting; for codesets whose characters take
// one or two bytes (the ANSI code pages: 1252, 936, 950, 932 …) its answers
// are kept in tables, built a lead byte or a 256-character page at a time on
// first use, so that converting a history name costs a table lookup per
// character instead of a trip through iconv.
//
// Bytes that begin no character become U+FFFD, one byte at a time;
// characters that the codeset cannot hold become '?', one UTF-16 code unit at
// a time. The tables give exactly what iconv gives: a codeset that does not
// fit them (UTF-8's three-byte characters, GB18030's four, shift states) is
// converted by iconv alone from the moment that shows.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <iconv.h>

// One iconv descriptor. Not to be shared between threads.
class IconvConverter {
public:
    IconvConverter(const char* to, const char* from);
    ~IconvConverter();
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;

    // Appends the conversion of `size` bytes to `out`. Where the input holds
    // something that cannot be converted, `skip` bytes are passed over and
    // `replacement` is written instead; an unknown codeset gives one
    // replacement per `skip` bytes.
    void convert(const char* input, size_t size, size_t skip, std::string_view replacement, std::string& out);

    // What iconv makes of `size` bytes taken alone: converted whole (what it
    // wrote in `out`), refused as invalid (EILSEQ) or as cut short (EINVAL)
    // before consuming anything, or anything else.
    enum class Outcome { Converted, Invalid, Incomplete, Other };
    Outcome convertAlone(const char* input, size_t size, std::string& out);

private:
    iconv_t descriptor_;
};

class CodesetCodec {
public:
    explicit CodesetCodec(const std::string& codeset);
    CodesetCodec(const CodesetCodec&) = delete;
    CodesetCodec& operator=(const CodesetCodec&) = delete;

    void appendWide(std::string_view narrow, std::u16string& out);
    // Decodes into `out`, which has room for narrow.size() units (no byte
    // gives more than one), and says how many it wrote; false, having written
    // nothing that counts, when only iconv can decode the text.
    bool decodeInto(std::string_view narrow, char16_t* out, size_t& written);
    void appendNarrow(std::u16string_view wide, std::string& out);
    // The same through iconv alone, whatever the tables could do: what the
    // tables are checked against.
    void appendWideThroughIconv(std::string_view narrow, std::u16string& out);
    void appendNarrowThroughIconv(std::u16string_view wide, std::string& out);

    // False once the codeset has shown that it does not fit the tables.
    bool tablesServe() const { return tablesServe_; }
    // Whether ASCII is itself both ways, as in every ANSI code page.
    bool asciiIsItself() const { return asciiIsItself_; }

private:
    // A table entry: a UTF-16 unit, or one of these.
    static constexpr uint32_t kInvalid = 0x10000;   // begins no character
    static constexpr uint32_t kLeadByte = 0x10001;  // begins a two-byte character
    static constexpr uint32_t kIrregular = 0xFFFFFFFF; // more than the tables can say
    using Table = std::array<uint32_t, 256>;

    bool encodeWithTables(std::u16string_view wide, std::string& out);
    uint32_t decodeAlone(const char* bytes, size_t size);
    uint32_t encodeAlone(char16_t unit);
    const Table* trailTable(uint8_t leadByte);
    const Table* narrowPage(uint8_t highByte);
    // Fills `table` on first use with `entryFor(0)` to `entryFor(255)`;
    // stays null, and the tables stop serving, when an entry is irregular.
    template <typename EntryFor>
    const Table* builtOnce(std::unique_ptr<Table>& table, EntryFor entryFor);

    IconvConverter toWide_;
    IconvConverter toNarrow_;
    std::string scratch_;
    bool tablesServe_ = true;
    // Names are mostly ASCII, which then needs no table.
    bool asciiIsItself_ = false;
    Table singleBytes_{};
    std::array<std::unique_ptr<Table>, 256> trailTables_;
    // Per high byte of a UTF-16 unit: the narrow bytes of each unit (first
    // byte in bits 0-7, second in 8-15, their number in 16-17), 0 for a unit
    // that the codeset cannot hold.
    std::array<std::unique_ptr<Table>, 256> narrowPages_;
};
