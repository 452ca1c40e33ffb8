// Little-endian fields, as both file formats store their numbers, read from
// bytes whose bounds the caller has already checked.
#pragma once

#include <bit>
#include <cstdint>

namespace xl {

inline uint16_t loadU16(const void* at)
{
    const auto* p = static_cast<const unsigned char*>(at);
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline uint32_t loadU32(const void* at)
{
    const auto* p = static_cast<const unsigned char*>(at);
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

inline uint64_t loadU64(const void* at)
{
    return loadU32(at) | static_cast<uint64_t>(loadU32(static_cast<const unsigned char*>(at) + 4)) << 32;
}

inline double loadF64(const void* at) { return std::bit_cast<double>(loadU64(at)); }

} // namespace xl
