// The zip writer: local headers, the central directory and the end records,
// with zip64 fields where a size or offset needs them; deflation through
// zlib.
#include "xlsx/zip_writer.h"

#include "xlsx/zip_format.h"

#include <zlib.h>

#include <limits>
#include <new>
#include <stdexcept>

namespace xl {
namespace {

using namespace zip;

constexpr uint16_t kFlagDataDescriptor = 0x0008;
constexpr uint16_t kFlagUtf8Names = 0x0800;
constexpr uint16_t kDosTime = 0;
constexpr uint16_t kDosDate = 0x21; // 1980-01-01: the archive does not depend on when it was made
constexpr uint32_t kNotIn32Bits = 0xFFFFFFFF;

void put16(std::string& out, uint32_t value)
{
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void put32(std::string& out, uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

void put64(std::string& out, uint64_t value)
{
    put32(out, static_cast<uint32_t>(value));
    put32(out, static_cast<uint32_t>(value >> 32));
}

uint32_t low32(uint64_t value, bool zip64)
{
    return zip64 ? kNotIn32Bits : static_cast<uint32_t>(value);
}

bool isAscii(std::string_view text)
{
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

} // namespace

void Deflater::EndDeflation::operator()(z_stream_s* stream) const
{
    deflateEnd(stream);
    delete stream;
}

Deflater::Deflater(int level)
{
    auto stream = std::make_unique<z_stream>();
    const int status = deflateInit2(stream.get(), level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    if (status == Z_MEM_ERROR)
        throw std::bad_alloc();
    if (status != Z_OK)
        throw std::runtime_error("cannot start deflating");
    stream_.reset(stream.release());
    crc_ = static_cast<uint32_t>(crc32(0, nullptr, 0));
}

Deflater::Deflater(Deflater&&) noexcept = default;
Deflater& Deflater::operator=(Deflater&&) noexcept = default;
Deflater::~Deflater() = default;

void Deflater::run(std::string_view data, int flush)
{
    if (!stream_)
        throw std::logic_error("the deflater has finished");
    // zlib counts in 32 bits; larger pieces go in turns.
    constexpr size_t kPiece = size_t(1) << 30;
    do {
        const std::string_view piece = data.substr(0, kPiece);
        data.remove_prefix(piece.size());
        if (!piece.empty()) // crc32() of a null buffer is 0, whatever came before
            crc_ = static_cast<uint32_t>(
                crc32(crc_, reinterpret_cast<const Bytef*>(piece.data()), static_cast<uInt>(piece.size())));
        size_ += piece.size();
        stream_->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
        stream_->avail_in = static_cast<uInt>(piece.size());
        const int pieceFlush = data.empty() ? flush : Z_NO_FLUSH;
        for (;;) {
            const size_t room = deflateBound(stream_.get(), stream_->avail_in) + 64;
            const size_t used = out_.size();
            out_.resize(used + room);
            stream_->next_out = reinterpret_cast<Bytef*>(out_.data() + used);
            stream_->avail_out = static_cast<uInt>(room);
            const int status = deflate(stream_.get(), pieceFlush);
            out_.resize(used + room - stream_->avail_out);
            if (status == Z_STREAM_END)
                return;
            if (status != Z_OK && status != Z_BUF_ERROR)
                throw std::runtime_error("deflate failed");
            if (stream_->avail_in == 0 && pieceFlush == Z_NO_FLUSH)
                break;
        }
    } while (!data.empty());
}

void Deflater::write(std::string_view data)
{
    if (!data.empty())
        run(data, Z_NO_FLUSH);
}

void Deflater::finish()
{
    run({}, Z_FINISH);
    stream_.reset();
}

void ZipWriter::addStored(const ZipStoredEntry& entry)
{
    if (entry.name.size() > 0xFFFF)
        throw std::invalid_argument("zip entry name longer than 65535 bytes");
    const uint64_t compressedSize = entry.compressedSize.value_or(entry.data.size());
    const uint64_t offset = archive_.size();
    const bool zip64 = entry.zip64 || entry.size >= kNotIn32Bits || compressedSize >= kNotIn32Bits ||
                       offset >= kNotIn32Bits;
    const uint16_t flags = static_cast<uint16_t>(entry.flags | (entry.dataDescriptor ? kFlagDataDescriptor : 0) |
                                                 (isAscii(entry.name) ? 0 : kFlagUtf8Names));
    const uint16_t version = zip64 ? 45 : 20;
    const bool later = entry.dataDescriptor;

    std::string localExtra;
    if (zip64) {
        put16(localExtra, kZip64ExtraId);
        put16(localExtra, 16);
        put64(localExtra, later ? 0 : entry.size);
        put64(localExtra, later ? 0 : compressedSize);
    }
    put32(archive_, kLocalHeaderSignature);
    put16(archive_, version);
    put16(archive_, flags);
    put16(archive_, entry.method);
    put16(archive_, kDosTime);
    put16(archive_, kDosDate);
    put32(archive_, later ? 0 : entry.crc);
    put32(archive_, later ? 0 : low32(compressedSize, zip64));
    put32(archive_, later ? 0 : low32(entry.size, zip64));
    put16(archive_, static_cast<uint32_t>(entry.name.size()));
    put16(archive_, static_cast<uint32_t>(localExtra.size()));
    archive_ += entry.name;
    archive_ += localExtra;
    archive_ += entry.data;
    if (later) {
        put32(archive_, kDataDescriptorSignature);
        put32(archive_, entry.crc);
        if (zip64) {
            put64(archive_, compressedSize);
            put64(archive_, entry.size);
        } else {
            put32(archive_, static_cast<uint32_t>(compressedSize));
            put32(archive_, static_cast<uint32_t>(entry.size));
        }
    }

    std::string centralExtra;
    if (zip64) {
        put16(centralExtra, kZip64ExtraId);
        put16(centralExtra, 24);
        put64(centralExtra, entry.size);
        put64(centralExtra, compressedSize);
        put64(centralExtra, offset);
    }
    put32(directory_, kDirectoryEntrySignature);
    put16(directory_, version);
    put16(directory_, version);
    put16(directory_, flags);
    put16(directory_, entry.method);
    put16(directory_, kDosTime);
    put16(directory_, kDosDate);
    put32(directory_, entry.crc);
    put32(directory_, low32(compressedSize, zip64));
    put32(directory_, low32(entry.size, zip64));
    put16(directory_, static_cast<uint32_t>(entry.name.size()));
    put16(directory_, static_cast<uint32_t>(centralExtra.size()));
    put16(directory_, 0); // comment
    put16(directory_, 0); // disk
    put16(directory_, 0); // internal attributes
    put32(directory_, 0); // external attributes
    put32(directory_, low32(offset, zip64));
    directory_ += entry.name;
    directory_ += centralExtra;
    ++count_;
}

void ZipWriter::addDeflated(std::string name, std::string_view data)
{
    Deflater deflater;
    deflater.write(data);
    deflater.finish();
    addDeflated(std::move(name), deflater);
}

void ZipWriter::addDeflated(std::string name, const Deflater& deflater)
{
    addStored({.name = std::move(name),
               .data = deflater.deflated(),
               .method = 8,
               .crc = deflater.crc(),
               .size = deflater.size()});
}

std::string ZipWriter::finish(const Ending& ending)
{
    if (ending.comment.size() > 0xFFFF)
        throw std::invalid_argument("zip comment longer than 65535 bytes");
    const uint64_t directoryOffset = archive_.size();
    archive_ += directory_;
    const bool zip64 = ending.zip64EndRecord || count_ >= 0xFFFF || directoryOffset >= kNotIn32Bits ||
                       directory_.size() >= kNotIn32Bits;
    if (zip64) {
        const uint64_t record = archive_.size();
        put32(archive_, kZip64EndOfDirectorySignature);
        put64(archive_, 44); // the size of the rest of the record
        put16(archive_, 45);
        put16(archive_, 45);
        put32(archive_, 0);
        put32(archive_, 0);
        put64(archive_, count_);
        put64(archive_, count_);
        put64(archive_, directory_.size());
        put64(archive_, directoryOffset);
        put32(archive_, kZip64LocatorSignature);
        put32(archive_, 0);
        put64(archive_, record);
        put32(archive_, 1);
    }
    put32(archive_, kEndOfDirectorySignature);
    put16(archive_, 0);
    put16(archive_, 0);
    put16(archive_, zip64 ? 0xFFFF : static_cast<uint32_t>(count_));
    put16(archive_, zip64 ? 0xFFFF : static_cast<uint32_t>(count_));
    put32(archive_, low32(directory_.size(), zip64));
    put32(archive_, low32(directoryOffset, zip64));
    put16(archive_, static_cast<uint32_t>(ending.comment.size()));
    archive_ += ending.comment;
    directory_.clear();
    directory_.shrink_to_fit();
    return std::move(archive_);
}

} // namespace xl
