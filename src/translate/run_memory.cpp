// The history digest: 128-bit FNV-1a over a framing of the ids and names that
// no two different histories share. A digest, rather than the names, keeps a
// run's memory small on assemblies of thousands of parts; at 128 bits two
// different histories of one run meeting by chance is not a real concern.
#include "run_memory.h"

namespace {

using Uint128 = unsigned __int128;

constexpr Uint128 kOffsetBasis = (Uint128(0x6c62272e07bb0142ULL) << 64) | 0x62b821756295c58dULL;
constexpr Uint128 kPrime = (Uint128(1) << 88) | 0x13b;

class Fnv128 {
public:
    void bytes(const void* data, size_t size)
    {
        const auto* byte = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i) {
            state_ ^= byte[i];
            state_ *= kPrime;
        }
    }
    void number(uint64_t value)
    {
        unsigned char little[8];
        for (int i = 0; i < 8; ++i)
            little[i] = static_cast<unsigned char>(value >> (8 * i));
        bytes(little, sizeof little);
    }
    HistoryDigest digest() const { return {static_cast<uint64_t>(state_ >> 64), static_cast<uint64_t>(state_)}; }

private:
    Uint128 state_ = kOffsetBasis;
};

// Set apart from every length a name can have.
constexpr uint64_t kUnreadable = ~uint64_t(0);

} // namespace

HistoryDigest digestHistory(std::span<const int32_t> ids, std::span<const std::optional<std::string>> names)
{
    Fnv128 fnv;
    fnv.number(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        fnv.number(static_cast<uint32_t>(ids[i]));
        const std::optional<std::string>* name = i < names.size() ? &names[i] : nullptr;
        if (!name || !*name) {
            fnv.number(kUnreadable);
            continue;
        }
        fnv.number((*name)->size());
        fnv.bytes((*name)->data(), (*name)->size());
    }
    return fnv.digest();
}
