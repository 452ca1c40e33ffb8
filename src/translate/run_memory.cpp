// The history digest: 128 bits from two lanes that each fold a word of the
// history at a time, eight bytes, into a multiply with a key of their own,
// over a framing of the ids and names that no two different histories share
// (each name follows its length, so the zeros that fill its last word are no
// bytes of it). A digest, rather than the names, keeps a run's memory small
// on assemblies of thousands of parts; at 128 bits two different histories
// of one run meeting by chance is not a real concern. Not a byte at a time:
// a run digests every history twice, and that was a fifth of its time.
#include "run_memory.h"

#include "fold_multiply.h"

#include <cstring>

namespace {

class Digest {
public:
    void bytes(const char* data, size_t size)
    {
        size_t at = 0;
        for (; at + 8 <= size; at += 8) {
            uint64_t word;
            std::memcpy(&word, data + at, 8);
            number(word);
        }
        if (at < size) {
            uint64_t word = 0;
            std::memcpy(&word, data + at, size - at);
            number(word);
        }
    }
    void number(uint64_t value)
    {
        high_ = foldMultiply(high_ ^ value, kHighKey);
        low_ = foldMultiply(low_ ^ value, kLowKey);
    }
    HistoryDigest digest() const { return {high_, low_}; }

private:
    static constexpr uint64_t kHighKey = 0x9E3779B97F4A7C15ULL;
    static constexpr uint64_t kLowKey = 0xD6E8FEB86659FD93ULL;
    uint64_t high_ = 0x6C62272E07BB0142ULL;
    uint64_t low_ = 0x62B821756295C58DULL;
};

// Set apart from every length a name can have.
constexpr uint64_t kUnreadable = ~uint64_t(0);

} // namespace

HistoryDigest digestHistory(std::span<const int32_t> ids, std::span<const std::optional<std::string>> names)
{
    Digest digest;
    digest.number(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        digest.number(static_cast<uint32_t>(ids[i]));
        const std::optional<std::string>* name = i < names.size() ? &names[i] : nullptr;
        if (!name || !*name) {
            digest.number(kUnreadable);
            continue;
        }
        digest.number((*name)->size());
        digest.bytes((*name)->data(), (*name)->size());
    }
    return digest.digest();
}
