// The zip reader: finds the end of central directory record, walks the
// directory, and inflates single entries through zlib's raw deflate.
#include "xlsx/zip_archive.h"

#include "common/ascii.h"
#include "common/little_endian.h"
#include "common/load_error.h"
#include "common/quote.h"
#include "xlsx/zip_format.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace xl {
namespace {

using namespace zip;

constexpr uint64_t kEndOfDirectorySize = 22;
constexpr uint64_t kMaxCommentSize = 0xFFFF;
constexpr uint64_t kZip64LocatorSize = 20;
constexpr uint64_t kZip64EndOfDirectorySize = 56;
constexpr uint64_t kDirectoryEntrySize = 46;
constexpr uint64_t kLocalHeaderSize = 30;

constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;

// True when `length` bytes from `offset` lie within `size`, without overflow.
bool fits(uint64_t offset, uint64_t length, uint64_t size)
{
    return offset <= size && length <= size - offset;
}

bool sameName(std::string_view stored, std::string_view wanted)
{
    if (stored.size() != wanted.size())
        return false;
    for (size_t i = 0; i < stored.size(); ++i) {
        const char w = wanted[i] == '\\' ? '/' : wanted[i];
        if (asciiLower(stored[i]) != asciiLower(w))
            return false;
    }
    return true;
}

[[noreturn]] void failArchive(std::string what)
{
    throw LoadError{std::move(what)};
}

[[noreturn]] void failEntry(const ZipArchive::Entry& entry, std::string what)
{
    throw LoadError{.what = std::move(what), .source = "zip entry '" + quoteForMessage(entry.name, 200) + "'"};
}

// Replaces the 32-bit fields that are marked 0xFFFFFFFF with the values of a
// zip64 extra field, which holds exactly those fields in this order.
bool applyZip64Extra(std::string_view extra, ZipArchive::Entry& entry, bool sizeMarked,
                     bool compressedMarked, bool offsetMarked)
{
    uint64_t at = 0;
    while (fits(at, 4, extra.size())) {
        const uint16_t id = loadU16(extra.data() + at);
        const uint16_t length = loadU16(extra.data() + at + 2);
        at += 4;
        if (!fits(at, length, extra.size()))
            return false;
        if (id == kZip64ExtraId) {
            uint64_t field = at;
            const uint64_t end = at + length;
            for (auto [marked, value] : {std::pair{sizeMarked, &entry.size},
                                         std::pair{compressedMarked, &entry.compressedSize},
                                         std::pair{offsetMarked, &entry.localHeaderOffset}}) {
                if (!marked)
                    continue;
                if (!fits(field, 8, end))
                    return false;
                *value = loadU64(extra.data() + field);
                field += 8;
            }
            return true;
        }
        at += length;
    }
    return !(sizeMarked || compressedMarked || offsetMarked);
}

} // namespace

void ZipArchive::open(std::string_view data)
{
    data_ = data;
    entries_.clear();
    const uint64_t size = data.size();
    if (size < kEndOfDirectorySize)
        failArchive("not a zip archive: " + std::to_string(size) + " bytes is too short");
    if (size > UINT32_MAX)
        failArchive("zip archives of 4 GiB or more are not read");
    // The record ends the file, unless a comment of up to 64 KiB follows it.
    uint64_t eocd = size - kEndOfDirectorySize;
    const uint64_t lowest = eocd > kMaxCommentSize ? eocd - kMaxCommentSize : 0;
    for (;; --eocd) {
        if (loadU32(data.data() + eocd) == kEndOfDirectorySignature &&
            loadU16(data.data() + eocd + 20) <= size - kEndOfDirectorySize - eocd)
            break;
        if (eocd == lowest)
            failArchive("not a zip archive: no end of central directory record");
    }
    uint64_t directorySize = loadU32(data.data() + eocd + 12);
    uint64_t directoryOffset = loadU32(data.data() + eocd + 16);

    if (eocd >= kZip64LocatorSize && loadU32(data.data() + eocd - kZip64LocatorSize) == kZip64LocatorSignature) {
        const uint64_t record = loadU64(data.data() + eocd - kZip64LocatorSize + 8);
        if (!fits(record, kZip64EndOfDirectorySize, size) ||
            loadU32(data.data() + record) != kZip64EndOfDirectorySignature)
            failArchive("zip64 end of central directory record at offset " + std::to_string(record) +
                        " is missing or damaged");
        directorySize = loadU64(data.data() + record + 40);
        directoryOffset = loadU64(data.data() + record + 48);
    }
    if (!fits(directoryOffset, directorySize, size))
        failArchive("central directory (offset " + std::to_string(directoryOffset) + ", " +
                    std::to_string(directorySize) + " bytes) lies beyond the end of the " + std::to_string(size) +
                    "-byte file");
    readDirectory(directoryOffset, directorySize);
}

bool ZipArchive::open(std::string_view data, std::string& error)
{
    return ranThrough("the zip archive", error, [&] { open(data); });
}

void ZipArchive::readDirectory(uint64_t offset, uint64_t size)
{
    const std::string_view directory = data_.substr(offset, size);
    uint64_t at = 0;
    // The entry count of the end record is not trusted: the directory's own
    // size bounds the walk, and nothing is reserved from a declared count.
    while (at < directory.size()) {
        const auto where = [&] { return " at offset " + std::to_string(offset + at); };
        if (!fits(at, kDirectoryEntrySize, directory.size()) ||
            loadU32(directory.data() + at) != kDirectoryEntrySignature)
            failArchive("central directory entry" + where() + " is damaged");
        Entry entry;
        entry.flags = loadU16(directory.data() + at + 8);
        entry.method = loadU16(directory.data() + at + 10);
        entry.crc = loadU32(directory.data() + at + 16);
        entry.compressedSize = loadU32(directory.data() + at + 20);
        entry.size = loadU32(directory.data() + at + 24);
        const uint16_t nameLength = loadU16(directory.data() + at + 28);
        const uint16_t extraLength = loadU16(directory.data() + at + 30);
        const uint16_t commentLength = loadU16(directory.data() + at + 32);
        entry.localHeaderOffset = loadU32(directory.data() + at + 42);
        const uint64_t variable = uint64_t(nameLength) + extraLength + commentLength;
        if (!fits(at + kDirectoryEntrySize, variable, directory.size()))
            failArchive("central directory entry" + where() + " runs past the end of the directory");
        entry.name.assign(directory.substr(at + kDirectoryEntrySize, nameLength));
        std::replace(entry.name.begin(), entry.name.end(), '\\', '/');
        const std::string_view extra = directory.substr(at + kDirectoryEntrySize + nameLength, extraLength);
        if (!applyZip64Extra(extra, entry, entry.size == 0xFFFFFFFF, entry.compressedSize == 0xFFFFFFFF,
                             entry.localHeaderOffset == 0xFFFFFFFF))
            failEntry(entry, "zip64 extra field is missing or damaged");
        entries_.push_back(std::move(entry));
        at += kDirectoryEntrySize + variable;
    }
}

const ZipArchive::Entry* ZipArchive::find(std::string_view name) const
{
    for (const Entry& entry : entries_)
        if (sameName(entry.name, name))
            return &entry;
    return nullptr;
}

bool ZipArchive::read(const Entry& entry, std::string& out, std::string& error) const
{
    out.clear();
    const bool read = ranThrough("the zip archive", error, [&] {
        EntryReader reader(*this, entry);
        // Room for one byte beyond the declared size shows an entry that
        // inflates to more than it declared.
        out.resize(entry.size + 1);
        size_t filled = 0;
        while (const size_t produced = reader.read(out.data() + filled, out.size() - filled))
            filled += produced;
        out.resize(filled);
    });
    if (!read)
        out.clear();
    return read;
}

void ZipArchive::EntryReader::EndInflation::operator()(z_stream_s* stream) const
{
    inflateEnd(stream);
    delete stream;
}

void ZipArchive::EntryReader::fail(std::string what)
{
    inflation_.reset();
    ended_ = true;
    failEntry(entry_, std::move(what));
}

std::string_view ZipArchive::storedData(const Entry& entry) const
{
    const uint64_t header = entry.localHeaderOffset;
    if (!fits(header, kLocalHeaderSize, data_.size()) || loadU32(data_.data() + header) != kLocalHeaderSignature)
        failEntry(entry, "no local header at offset " + std::to_string(header));
    const uint64_t dataOffset =
        header + kLocalHeaderSize + loadU16(data_.data() + header + 26) + loadU16(data_.data() + header + 28);
    if (!fits(dataOffset, entry.compressedSize, data_.size()))
        failEntry(entry, "its " + std::to_string(entry.compressedSize) + " bytes of data at offset " +
                             std::to_string(dataOffset) + " run past the end of the file");
    return data_.substr(dataOffset, entry.compressedSize);
}

ZipArchive::EntryReader::EntryReader(const ZipArchive& archive, const Entry& entry) : entry_(entry)
{
    if (entry.flags & kFlagEncrypted)
        fail("is encrypted");
    if (entry.method != kMethodStored && entry.method != kMethodDeflated)
        fail("compression method " + std::to_string(entry.method) + " is not supported");
    if (entry.size > kMaxEntrySize)
        fail("declared size of " + std::to_string(entry.size) + " bytes exceeds the limit of " +
             std::to_string(kMaxEntrySize));
    if (entry.size > kRatioFloor && entry.size / kMaxRatio > entry.compressedSize)
        fail("declared size of " + std::to_string(entry.size) + " bytes is more than " + std::to_string(kMaxRatio) +
             " times its compressed size of " + std::to_string(entry.compressedSize));
    input_ = archive.storedData(entry);

    if (entry.method == kMethodStored) {
        if (entry.compressedSize != entry.size)
            fail("stored with " + std::to_string(entry.compressedSize) + " bytes but a size of " +
                 std::to_string(entry.size));
        return;
    }
    auto stream = std::make_unique<z_stream>();
    if (inflateInit2(stream.get(), -MAX_WBITS) != Z_OK)
        fail("cannot start inflating");
    inflation_.reset(stream.release());
    inflation_->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input_.data()));
    inflation_->avail_in = static_cast<uInt>(input_.size());
}

size_t ZipArchive::EntryReader::read(char* out, size_t room)
{
    if (ended_)
        return 0;
    // Never more than one byte past the declared size: that byte shows an
    // entry that inflates to more than it declared, and inflation stops there.
    room = static_cast<size_t>(std::min<uint64_t>({room, entry_.size + 1 - total_, UINT32_MAX}));
    size_t produced;
    bool dataEnded;
    if (!inflation_) {
        produced = static_cast<size_t>(std::min<uint64_t>(room, input_.size() - total_));
        std::memcpy(out, input_.data() + total_, produced);
        dataEnded = total_ + produced == input_.size();
    } else {
        produced = inflateSome(out, room, dataEnded);
    }
    total_ += produced;
    if (total_ > entry_.size)
        fail("inflates to more than its declared size of " + std::to_string(entry_.size) + " bytes");
    crc_ = static_cast<uint32_t>(crc32(crc_, reinterpret_cast<const Bytef*>(out), static_cast<uInt>(produced)));
    if (!dataEnded)
        return produced;
    if (total_ != entry_.size)
        fail("inflates to " + std::to_string(total_) + " bytes, not its declared " + std::to_string(entry_.size));
    if (crc_ != entry_.crc)
        fail("CRC-32 mismatch (data is damaged)");
    inflation_.reset();
    ended_ = true;
    return produced;
}

void ZipArchive::EntryReader::readToEnd()
{
    std::string scratch(std::min<uint64_t>(entry_.size + 1, uint64_t(64) << 10), '\0');
    while (read(scratch.data(), scratch.size()) > 0) {
    }
}

// Inflates until some bytes come out or the deflate data ends, and says how
// many came out.
size_t ZipArchive::EntryReader::inflateSome(char* out, size_t room, bool& dataEnded)
{
    z_stream& stream = *inflation_;
    stream.next_out = reinterpret_cast<Bytef*>(out);
    stream.avail_out = static_cast<uInt>(room);
    for (;;) {
        const int status = inflate(&stream, Z_NO_FLUSH);
        const size_t produced = room - stream.avail_out;
        dataEnded = status == Z_STREAM_END;
        if (dataEnded)
            return produced;
        if (status == Z_MEM_ERROR)
            throw std::bad_alloc();
        if (status != Z_OK && status != Z_BUF_ERROR)
            fail("deflate data is damaged after " + std::to_string(stream.total_in) + " compressed bytes");
        if (produced > 0)
            return produced;
        if (status == Z_BUF_ERROR || stream.avail_in == 0)
            fail("deflate data ends early, after " + std::to_string(total_) + " of " + std::to_string(entry_.size) +
                 " bytes");
    }
}

} // namespace xl
