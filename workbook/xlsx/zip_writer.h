// The one writer of zip archives: the container of the workbooks that the
// project writes, and of the tests' fixtures. Each entry is given as the
// archive will hold it (stored, or already deflated with its CRC and size),
// so that a part copied from another archive keeps its bytes, a large part
// can be deflated piece by piece as it is made, and a test can make the
// headers claim what it likes. The archive is built in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct z_stream_s; // zlib's deflation state

namespace xl {

// An entry's bytes as the archive stores them, with what the headers say of
// them.
struct ZipStoredEntry {
    std::string name;
    std::string_view data = {}; // the bytes as stored (deflated or not)
    uint16_t method = 0;   // 0 stored, 8 deflated
    uint32_t crc = 0;      // of the inflated bytes
    uint64_t size = 0;     // inflated
    std::optional<uint64_t> compressedSize = {}; // what the headers claim; data.size() when not given
    uint16_t flags = 0;    // bit 3 (sizes after the data) is set from dataDescriptor
    bool dataDescriptor = false;
    // Sizes and offset in zip64 extra fields; implied by any past 32 bits.
    bool zip64 = false;
};

// Deflates a part piece by piece (raw deflate, as zip entries hold it),
// keeping its CRC and size.
class Deflater {
public:
    explicit Deflater(int level = 6);
    Deflater(Deflater&&) noexcept;
    Deflater& operator=(Deflater&&) noexcept;
    ~Deflater();

    void write(std::string_view data);
    // Ends the stream; the deflater is spent afterwards.
    void finish();

    const std::string& deflated() const { return out_; }
    std::string& deflated() { return out_; }
    uint32_t crc() const { return crc_; }
    uint64_t size() const { return size_; }

private:
    struct EndDeflation {
        void operator()(z_stream_s* stream) const;
    };
    void run(std::string_view data, int flush);

    std::unique_ptr<z_stream_s, EndDeflation> stream_;
    std::string out_;
    uint32_t crc_ = 0;
    uint64_t size_ = 0;
};

class ZipWriter {
public:
    // Appends an entry as it is given.
    void addStored(const ZipStoredEntry& entry);
    // Appends `data` deflated.
    void addDeflated(std::string name, std::string_view data);
    // Appends a part that a Deflater made.
    void addDeflated(std::string name, const Deflater& deflater);

    struct Ending {
        // A zip64 end of central directory record and its locator before
        // the classic end record.
        bool zip64EndRecord = false;
        std::string comment = {};
    };
    // The central directory and the end records; the archive's bytes.
    // The writer is spent afterwards.
    std::string finish(const Ending& ending);
    std::string finish() { return finish(Ending{}); }

private:
    std::string archive_;
    std::string directory_;
    uint64_t count_ = 0;
};

} // namespace xl
