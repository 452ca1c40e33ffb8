// The records of the zip format that both the reader (zip_archive) and the
// writer (zip_writer) meet: their signatures and the id of the zip64 extra
// field, as the format's specification numbers them.
#pragma once

#include <cstdint>

namespace xl::zip {

inline constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
inline constexpr uint32_t kDataDescriptorSignature = 0x08074b50;
inline constexpr uint32_t kDirectoryEntrySignature = 0x02014b50;
inline constexpr uint32_t kEndOfDirectorySignature = 0x06054b50;
inline constexpr uint32_t kZip64EndOfDirectorySignature = 0x06064b50;
inline constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
inline constexpr uint16_t kZip64ExtraId = 0x0001;

} // namespace xl::zip
