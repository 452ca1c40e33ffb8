// Little-endian fields of the .xls format, read from bytes whose bounds the
// caller has already checked.
#pragma once

#include <bit>
#include <cstdint>

namespace xl::xls {

inline uint16_t loadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t loadU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

inline uint64_t loadU64(const uint8_t* p) { return loadU32(p) | static_cast<uint64_t>(loadU32(p + 4)) << 32; }

inline double loadF64(const uint8_t* p) { return std::bit_cast<double>(loadU64(p)); }

} // namespace xl::xls
