// The record layer of a BIFF8 workbook stream; see biff_records.h.
#include "xls/biff_records.h"

#include "common/little_endian.h"
#include "common/load_error.h"

#include <algorithm>
#include <bit>
#include <cstdio>

namespace xl::xls {

std::string recordName(uint16_t type)
{
    const char* name = nullptr;
    switch (type) {
    case record::kFormula: name = "FORMULA"; break;
    case record::kEof: name = "EOF"; break;
    case record::kFilePass: name = "FILEPASS"; break;
    case record::kContinue: name = "CONTINUE"; break;
    case record::kBoundSheet: name = "BOUNDSHEET"; break;
    case record::kMulRk: name = "MULRK"; break;
    case record::kMulBlank: name = "MULBLANK"; break;
    case record::kRichLabel: name = "RSTRING"; break;
    case record::kSst: name = "SST"; break;
    case record::kLabelSst: name = "LABELSST"; break;
    case record::kBlank: name = "BLANK"; break;
    case record::kNumber: name = "NUMBER"; break;
    case record::kLabel: name = "LABEL"; break;
    case record::kBoolErr: name = "BOOLERR"; break;
    case record::kString: name = "STRING"; break;
    case record::kRk: name = "RK"; break;
    case record::kBof: name = "BOF"; break;
    default: name = "record"; break;
    }
    char code[16];
    std::snprintf(code, sizeof code, "0x%04X", type);
    return std::string(name) + " (" + code + ")";
}

std::string describeRecord(uint16_t type, size_t offset)
{
    return recordName(type) + " at offset " + std::to_string(offset);
}

void failStream(std::string what, std::string record, std::optional<uint64_t> offset, std::optional<CellPosition> cell)
{
    throw LoadError{.what = std::move(what),
                    .source = "workbook stream",
                    .item = std::move(record),
                    .offset = offset,
                    .cell = cell};
}

bool isBof(uint16_t type)
{
    return type == record::kBof || type == record::kBofBiff2 || type == record::kBofBiff3 ||
           type == record::kBofBiff4;
}

bool RecordCursor::next(Record& record)
{
    if (offset_ == stream_.size())
        return false;
    if (stream_.size() - offset_ < 4)
        failStream("a record header at offset " + std::to_string(offset_) + " is cut off by the end of the stream");
    const uint16_t type = loadU16(stream_.data() + offset_);
    const size_t length = loadU16(stream_.data() + offset_ + 2);
    if (length > stream_.size() - offset_ - 4)
        failStream(describeRecord(type, offset_) + " claims " + std::to_string(length) +
                   " bytes, but the stream ends after " + std::to_string(stream_.size() - offset_ - 4));
    record.type = type;
    record.offset = offset_;
    record.data = stream_.subspan(offset_ + 4, length);
    offset_ += 4 + length;
    return true;
}

bool RecordCursor::nextIs(uint16_t type) const
{
    return stream_.size() - offset_ >= 4 && loadU16(stream_.data() + offset_) == type;
}

ContinuedReader::ContinuedReader(const Record& first, RecordCursor& cursor, size_t start)
    : type_(first.type), recordOffset_(first.offset)
{
    segments_.push_back({first.data, first.offset + 4});
    Record continuation;
    while (cursor.nextIs(record::kContinue) && cursor.next(continuation))
        segments_.push_back({continuation.data, continuation.offset + 4});
    skip(start);
}

void ContinuedReader::failAt(const std::string& what) const
{
    failStream(what, describeRecord(type_, recordOffset_), segments_[segment_].offset + position_);
}

bool ContinuedReader::atEnd() const
{
    for (size_t i = segment_; i < segments_.size(); ++i) {
        if (segments_[i].data.size() > (i == segment_ ? position_ : 0))
            return false;
    }
    return true;
}

uint64_t ContinuedReader::remaining() const
{
    uint64_t bytes = 0;
    for (size_t i = segment_; i < segments_.size(); ++i)
        bytes += segments_[i].data.size() - (i == segment_ ? position_ : 0);
    return bytes;
}

void ContinuedReader::take(uint8_t* out, size_t count)
{
    while (count > 0) {
        if (position_ == segments_[segment_].data.size()) {
            if (segment_ + 1 == segments_.size())
                failAt("the data ends in the middle of a field");
            ++segment_;
            position_ = 0;
            continue;
        }
        const size_t part = std::min(count, segments_[segment_].data.size() - position_);
        if (out) {
            std::copy_n(segments_[segment_].data.data() + position_, part, out);
            out += part;
        }
        position_ += part;
        count -= part;
    }
}

uint8_t ContinuedReader::u8()
{
    uint8_t byte;
    take(&byte, 1);
    return byte;
}

uint16_t ContinuedReader::u16()
{
    uint8_t bytes[2];
    take(bytes, 2);
    return loadU16(bytes);
}

uint32_t ContinuedReader::u32()
{
    uint8_t bytes[4];
    take(bytes, 4);
    return loadU32(bytes);
}

void ContinuedReader::skip(uint64_t count)
{
    // Skipped blocks may claim up to 4 GiB; they are walked in steps that a
    // size_t holds on any platform, and end with the data.
    while (count > 0) {
        const size_t step = static_cast<size_t>(std::min<uint64_t>(count, 1u << 30));
        take(nullptr, step);
        count -= step;
    }
}

void ContinuedReader::readCharacters(size_t count, bool wide, std::u16string& text)
{
    while (count > 0) {
        const auto& data = segments_[segment_].data;
        if (position_ == data.size()) {
            if (segment_ + 1 == segments_.size())
                failAt("the string's characters run past the end of the data");
            ++segment_;
            position_ = 0;
            if (segments_[segment_].data.empty())
                failAt("an empty CONTINUE record interrupts the string's characters");
            wide = (segments_[segment_].data[0] & 0x01) != 0;
            position_ = 1;
            continue;
        }
        const size_t unit = wide ? 2 : 1;
        const size_t fitting = std::min(count, (data.size() - position_) / unit);
        if (fitting == 0)
            failAt("a 16-bit character is split across records");
        const uint8_t* bytes = data.data() + position_;
        const size_t start = text.size();
        text.resize(start + fitting);
        char16_t* out = text.data() + start;
        if (wide)
            for (size_t i = 0; i < fitting; ++i)
                out[i] = static_cast<char16_t>(loadU16(bytes + 2 * i));
        else
            std::copy_n(bytes, fitting, out);
        position_ += fitting * unit;
        count -= fitting;
    }
}

void ContinuedReader::readString(bool richAndPhonetic, std::u16string& text)
{
    constexpr uint8_t kWide = 0x01;
    constexpr uint8_t kPhonetic = 0x04;
    constexpr uint8_t kRich = 0x08;
    const size_t count = u16();
    const uint8_t flags = u8();
    const size_t runs = richAndPhonetic && (flags & kRich) ? u16() : 0;
    const uint32_t phoneticSize = richAndPhonetic && (flags & kPhonetic) ? u32() : 0;
    text.clear();
    // 8-bit characters are the low bytes of UTF-16 code units, so they map
    // to U+0000..U+00FF whatever the workbook's code page says.
    readCharacters(count, (flags & kWide) != 0, text);
    skip(uint64_t{4} * runs);
    skip(phoneticSize);
}

double decodeRk(uint32_t rk)
{
    constexpr uint32_t kHundredths = 0x01;
    constexpr uint32_t kInteger = 0x02;
    const double value = (rk & kInteger) ? static_cast<double>(static_cast<int32_t>(rk) >> 2)
                                         : std::bit_cast<double>(static_cast<uint64_t>(rk & ~uint32_t{3}) << 32);
    return (rk & kHundredths) ? value / 100 : value;
}

} // namespace xl::xls
