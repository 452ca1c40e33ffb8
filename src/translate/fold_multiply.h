// The mixing step of the module's hashes (the set of name hashes, the
// history digest): the 128-bit product of two 64-bit words, folded into 64
// bits, so that every bit of both reaches every bit of the result. Both
// compilers the project builds with have 128-bit integers.
#pragma once

#include <cstdint>

inline uint64_t foldMultiply(uint64_t a, uint64_t b)
{
    const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
    return static_cast<uint64_t>(product) ^ static_cast<uint64_t>(product >> 64);
}
