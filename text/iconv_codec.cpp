// iconv conversions and the tables that stand in for them; see iconv_codec.h.
#include "iconv_codec.h"

#include <cerrno>
#include <iterator>

namespace {

constexpr char kUtf16[] = "UTF-16LE";
// U+FFFD in UTF-16LE.
constexpr std::string_view kWideReplacement("\xFD\xFF", 2);

bool isSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDFFF;
}

void appendUnits(std::string_view littleEndian, std::u16string& out)
{
    const size_t start = out.size();
    out.resize(start + littleEndian.size() / 2);
    for (size_t i = 0; i + 1 < littleEndian.size(); i += 2)
        out[start + i / 2] = static_cast<char16_t>(static_cast<uint8_t>(littleEndian[i]) |
                                                   static_cast<uint8_t>(littleEndian[i + 1]) << 8);
}

void appendLittleEndian(char16_t unit, std::string& out)
{
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
}

} // namespace

IconvConverter::IconvConverter(const char* to, const char* from) : descriptor_(iconv_open(to, from)) {}

IconvConverter::~IconvConverter()
{
    if (descriptor_ != iconv_t(-1))
        iconv_close(descriptor_);
}

void IconvConverter::convert(const char* input, size_t size, size_t skip, std::string_view replacement,
                             std::string& out)
{
    if (descriptor_ == iconv_t(-1)) {
        for (size_t i = 0; i < size; i += skip)
            out += replacement;
        return;
    }
    iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(input);
    size_t inLeft = size;
    char buffer[512];
    while (inLeft > 0) {
        char* written = buffer;
        size_t room = sizeof buffer;
        const size_t result = iconv(descriptor_, &in, &inLeft, &written, &room);
        out.append(buffer, static_cast<size_t>(written - buffer));
        if (result != size_t(-1) || errno == E2BIG)
            continue;
        // EILSEQ or EINVAL: an invalid or cut-off sequence at `in`.
        const size_t step = skip < inLeft ? skip : inLeft;
        in += step;
        inLeft -= step;
        out += replacement;
        iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
    }
    char* written = buffer;
    size_t room = sizeof buffer;
    iconv(descriptor_, nullptr, nullptr, &written, &room);
    out.append(buffer, static_cast<size_t>(written - buffer));
}

IconvConverter::Outcome IconvConverter::convertAlone(const char* input, size_t size, std::string& out)
{
    out.clear();
    if (descriptor_ == iconv_t(-1))
        return Outcome::Other;
    iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(input);
    size_t inLeft = size;
    char buffer[16];
    char* written = buffer;
    size_t room = sizeof buffer;
    const size_t result = iconv(descriptor_, &in, &inLeft, &written, &room);
    if (result == size_t(-1)) {
        const bool untouched = inLeft == size && written == buffer;
        if (untouched && errno == EILSEQ)
            return Outcome::Invalid;
        if (untouched && errno == EINVAL)
            return Outcome::Incomplete;
        return Outcome::Other;
    }
    iconv(descriptor_, nullptr, nullptr, &written, &room);
    out.assign(buffer, static_cast<size_t>(written - buffer));
    return inLeft == 0 ? Outcome::Converted : Outcome::Other;
}

CodesetCodec::CodesetCodec(const std::string& codeset)
    : toWide_(kUtf16, codeset.c_str()), toNarrow_(codeset.c_str(), kUtf16)
{
    for (int byte = 0; byte < 256; ++byte) {
        const char single = static_cast<char>(byte);
        singleBytes_[static_cast<size_t>(byte)] = decodeAlone(&single, 1);
        if (singleBytes_[static_cast<size_t>(byte)] == kIrregular)
            tablesServe_ = false;
    }
    const Table* firstPage = narrowPage(0);
    asciiIsItself_ = firstPage != nullptr;
    for (uint32_t ascii = 0; ascii < 0x80 && asciiIsItself_; ++ascii)
        asciiIsItself_ = singleBytes_[ascii] == ascii && (*firstPage)[ascii] == (ascii | 1u << 16);
}

uint32_t CodesetCodec::decodeAlone(const char* bytes, size_t size)
{
    switch (toWide_.convertAlone(bytes, size, scratch_)) {
    case IconvConverter::Outcome::Invalid:
        return kInvalid;
    case IconvConverter::Outcome::Incomplete:
        return size == 1 ? kLeadByte : kIrregular;
    case IconvConverter::Outcome::Converted:
        if (scratch_.size() == 2) {
            const auto unit = static_cast<char16_t>(static_cast<uint8_t>(scratch_[0]) |
                                                    static_cast<uint8_t>(scratch_[1]) << 8);
            if (!isSurrogate(unit))
                return unit;
        }
        return kIrregular;
    case IconvConverter::Outcome::Other:
        break;
    }
    return kIrregular;
}

uint32_t CodesetCodec::encodeAlone(char16_t unit)
{
    std::string input;
    appendLittleEndian(unit, input);
    switch (toNarrow_.convertAlone(input.data(), input.size(), scratch_)) {
    case IconvConverter::Outcome::Invalid:
        return 0;
    case IconvConverter::Outcome::Converted:
        if (scratch_.size() == 1)
            return static_cast<uint8_t>(scratch_[0]) | 1u << 16;
        if (scratch_.size() == 2)
            return static_cast<uint8_t>(scratch_[0]) | static_cast<uint32_t>(static_cast<uint8_t>(scratch_[1])) << 8 |
                   2u << 16;
        return kIrregular;
    default:
        return kIrregular;
    }
}

template <typename EntryFor>
const CodesetCodec::Table* CodesetCodec::builtOnce(std::unique_ptr<Table>& table, EntryFor entryFor)
{
    if (!table && tablesServe_) {
        auto built = std::make_unique<Table>();
        for (int index = 0; index < 256 && tablesServe_; ++index) {
            (*built)[static_cast<size_t>(index)] = entryFor(index);
            tablesServe_ = (*built)[static_cast<size_t>(index)] != kIrregular;
        }
        if (tablesServe_)
            table = std::move(built);
    }
    return table.get();
}

const CodesetCodec::Table* CodesetCodec::trailTable(uint8_t leadByte)
{
    return builtOnce(trailTables_[leadByte], [&](int trail) {
        const char pair[] = {static_cast<char>(leadByte), static_cast<char>(trail)};
        return decodeAlone(pair, 2);
    });
}

const CodesetCodec::Table* CodesetCodec::narrowPage(uint8_t highByte)
{
    return builtOnce(narrowPages_[highByte],
                     [&](int low) { return encodeAlone(static_cast<char16_t>(highByte << 8 | low)); });
}

bool CodesetCodec::decodeInto(std::string_view narrow, char16_t* out, size_t& written)
{
    if (!tablesServe_)
        return false;
    char16_t* next = out;
    for (size_t i = 0; i < narrow.size();) {
        const auto byte = static_cast<uint8_t>(narrow[i]);
        if (byte < 0x80 && asciiIsItself_) {
            *next++ = byte;
            ++i;
            continue;
        }
        const uint32_t single = singleBytes_[byte];
        if (single < kInvalid) {
            *next++ = static_cast<char16_t>(single);
            ++i;
            continue;
        }
        if (single == kLeadByte && i + 1 < narrow.size()) {
            const Table* trails = trailTables_[byte] ? trailTables_[byte].get() : trailTable(byte);
            if (!trails)
                return false;
            const uint32_t pair = (*trails)[static_cast<uint8_t>(narrow[i + 1])];
            if (pair < kInvalid) {
                *next++ = static_cast<char16_t>(pair);
                i += 2;
                continue;
            }
        }
        // A byte that begins no character, or a lead byte without a trail
        // byte that completes it: iconv passes over that one byte.
        *next++ = 0xFFFD;
        ++i;
    }
    written = static_cast<size_t>(next - out);
    return true;
}

bool CodesetCodec::encodeWithTables(std::u16string_view wide, std::string& out)
{
    // Short texts are encoded on the stack and appended in one piece.
    char bytes[256];
    size_t count = 0;
    const size_t start = out.size();
    for (const char16_t unit : wide) {
        if (count + 2 > std::size(bytes)) {
            out.append(bytes, count);
            count = 0;
        }
        if (unit < 0x80 && asciiIsItself_) {
            bytes[count++] = static_cast<char>(unit);
            continue;
        }
        const uint8_t highByte = static_cast<uint8_t>(unit >> 8);
        const Table* page = narrowPages_[highByte].get();
        // A surrogate pair converts as one character, which iconv must see
        // whole; no page is ever made for surrogates.
        if (!page && (isSurrogate(unit) || !(page = narrowPage(highByte)))) {
            out.resize(start);
            return false;
        }
        const uint32_t encoded = (*page)[unit & 0xFF];
        const uint32_t length = encoded >> 16;
        if (length == 0) {
            bytes[count++] = '?';
            continue;
        }
        bytes[count++] = static_cast<char>(encoded & 0xFF);
        if (length == 2)
            bytes[count++] = static_cast<char>(encoded >> 8 & 0xFF);
    }
    out.append(bytes, count);
    return true;
}

void CodesetCodec::appendWide(std::string_view narrow, std::u16string& out)
{
    const size_t start = out.size();
    out.resize(start + narrow.size());
    size_t written = 0;
    if (decodeInto(narrow, out.data() + start, written)) {
        out.resize(start + written);
        return;
    }
    out.resize(start);
    appendWideThroughIconv(narrow, out);
}

void CodesetCodec::appendNarrow(std::u16string_view wide, std::string& out)
{
    if (!tablesServe_ || !encodeWithTables(wide, out))
        appendNarrowThroughIconv(wide, out);
}

void CodesetCodec::appendWideThroughIconv(std::string_view narrow, std::u16string& out)
{
    scratch_.clear();
    toWide_.convert(narrow.data(), narrow.size(), 1, kWideReplacement, scratch_);
    appendUnits(scratch_, out);
}

void CodesetCodec::appendNarrowThroughIconv(std::u16string_view wide, std::string& out)
{
    std::string littleEndian;
    littleEndian.reserve(2 * wide.size());
    for (const char16_t unit : wide)
        appendLittleEndian(unit, littleEndian);
    toNarrow_.convert(littleEndian.data(), littleEndian.size(), 2, "?", out);
}
