// What the simulated host keeps about the calls made to it and what it can be
// told to do wrong: the record of every call, the faults injected into them,
// the odd data that listings hand out, and the arrays handed out and not yet
// given back.
#pragma once

#include "ostrel_sim.h"

#include <array>
#include <concepts>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace ostrelsim {

// One list makes both the enumeration and the names, so they cannot drift apart.
#define OSTREL_SIM_OPS(X)                                                                                      \
    X(hostRegisterCommand) X(hostUnregisterCommand) X(hostSendCommand) X(hostPathToRoot)                     \
    X(hostActivateEntity) X(hostListComponentPaths) X(hostListHistory) X(hostGetEntityName)                  \
    X(hostSetEntityName) X(hostFreeMemory) X(hostGetUserActionStatus) X(hostSetUserActionStatus)             \
    X(hostDataGetEntities) X(hostCreateForm) X(hostShowForm) X(hostGetErrorText) X(hostDisplayMessage)

enum class Op : uint8_t {
#define OSTREL_SIM_OP_ENUMERATOR(name) name,
    OSTREL_SIM_OPS(OSTREL_SIM_OP_ENUMERATOR)
#undef OSTREL_SIM_OP_ENUMERATOR
};

#define OSTREL_SIM_OP_ONE(name) +1
constexpr size_t kOpCount = 0 OSTREL_SIM_OPS(OSTREL_SIM_OP_ONE);
#undef OSTREL_SIM_OP_ONE

std::string_view nameOf(Op op);
// Throws std::invalid_argument for a name that is no operation's.
Op opNamed(std::string_view name);

// The numeric arguments that a call is recorded with; no operation records
// more than three.
struct CallValues {
    CallValues() = default;
    template <std::convertible_to<int32_t>... Values>
        requires(sizeof...(Values) <= 3)
    CallValues(Values... given) : values{static_cast<int32_t>(given)...}, count(sizeof...(Values))
    {
    }

    std::array<int32_t, 3> values{};
    uint8_t count = 0;
};

class CallLog {
public:
    // Records a call of `op`; `path` is kept whole when given. True when a
    // fault injected for the call answers it, with `fault` set to its status.
    // (A flag and a status rather than an optional: GCC hands an optional back
    // through the stack, which stalled every host call.)
    bool record(Op op, std::string_view subject, const CallValues& values, const EntityPath* path, int32_t& fault);
    // Settles the status of the call recorded last.
    int32_t answer(int32_t status)
    {
        records_.back().status = status;
        return status;
    }
    std::vector<Call> calls() const;
    void clear();

    void addFault(Op op, int nth, int32_t status);
    void setListing(Op op, Listing listing);
    bool namesWithoutNul = false;

    // Hands a list out as a listing of `op` should, odd data included.
    template <typename T>
    void handOutList(Op op, const std::vector<T>& items, int32_t* count, T** array)
    {
        Listing listing = listings_[static_cast<size_t>(op)];
        if (listing == Listing::NullArray) {
            *count = items.empty() ? 1 : static_cast<int32_t>(items.size());
            *array = nullptr;
            return;
        }
        T* block = static_cast<T*>(handOut(items.size() * sizeof(T)));
        if (!items.empty())
            std::memcpy(block, items.data(), items.size() * sizeof(T));
        *array = block;
        *count = listing == Listing::NegativeCount ? -1 : static_cast<int32_t>(items.size());
    }
    // Takes back a block handed out; false when `block` is none that is out.
    bool giveBack(void* block);
    size_t outstanding() const { return outstanding_.size(); }
    void giveBackAll();

private:
    struct Fault {
        Op op;
        int nth;
        int32_t status;
        int seen = 0;
    };

    static constexpr uint32_t kNoPath = UINT32_MAX;

    // A call as recorded. A run makes close to a million calls and calls() is
    // asked for rarely, so the record is small and holds no memory of its
    // own: its subject lives in subjects_, right after the previous record's,
    // and its path in paths_.
    struct Record {
        Op op;
        uint8_t valueCount;
        int32_t status;
        std::array<int32_t, 3> values;
        uint32_t pathAt;   // where paths_ keeps the path, or kNoPath
        size_t subjectEnd;
    };

    void* handOut(size_t bytes);
    uint32_t keepPath(const EntityPath& path);
    EntityPath keptPath(uint32_t at) const;

    std::vector<Record> records_;
    std::string subjects_;
    // Each recorded path as its count, the number of ids kept, and those ids:
    // the ids up to the last that is not 0, so that a path comes back whole.
    std::vector<int32_t> paths_;
    std::vector<Fault> faults_;
    std::array<Listing, kOpCount> listings_{};
    std::unordered_set<void*> outstanding_;
};

} // namespace ostrelsim
