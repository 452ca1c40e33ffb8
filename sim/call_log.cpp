// The simulated host's record of calls, its injected faults and the arrays it
// has handed out.
#include "call_log.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace ostrelsim {
namespace {

constexpr std::string_view kOpNames[] = {
#define OSTREL_SIM_OP_NAME(name) #name,
    OSTREL_SIM_OPS(OSTREL_SIM_OP_NAME)
#undef OSTREL_SIM_OP_NAME
};

} // namespace

std::string_view nameOf(Op op) { return kOpNames[static_cast<size_t>(op)]; }

// Tests name operations as text; a misspelt name would otherwise set a fault
// or a listing that never takes effect, and the test would pass unseen.
Op opNamed(std::string_view name)
{
    for (size_t i = 0; i < kOpCount; ++i)
        if (kOpNames[i] == name)
            return static_cast<Op>(i);
    throw std::invalid_argument("the host has no operation named " + std::string(name));
}

bool CallLog::record(Op op, std::string_view subject, const CallValues& values, const EntityPath* path,
                     int32_t& fault)
{
    fault = 0;
    bool faulted = false;
    for (Fault& candidate : faults_) {
        if (candidate.op != op)
            continue;
        ++candidate.seen;
        if (!faulted && (candidate.nth == 0 || candidate.seen == candidate.nth)) {
            fault = candidate.status;
            faulted = true;
        }
    }
    subjects_.append(subject);
    records_.push_back(
        {op, values.count, fault, values.values, path != nullptr ? keepPath(*path) : kNoPath, subjects_.size()});
    return faulted;
}

std::vector<Call> CallLog::calls() const
{
    std::vector<Call> list;
    list.reserve(records_.size());
    size_t subjectBegin = 0;
    for (const Record& record : records_) {
        Call& call = list.emplace_back();
        call.op = nameOf(record.op);
        call.subject.assign(subjects_, subjectBegin, record.subjectEnd - subjectBegin);
        subjectBegin = record.subjectEnd;
        call.values.assign(record.values.begin(), record.values.begin() + record.valueCount);
        if (record.pathAt != kNoPath)
            call.path = std::make_shared<const EntityPath>(keptPath(record.pathAt));
        call.status = record.status;
    }
    return list;
}

void CallLog::clear()
{
    records_.clear();
    subjects_.clear();
    paths_.clear();
}

void CallLog::addFault(Op op, int nth, int32_t status) { faults_.push_back({op, nth, status}); }

void CallLog::setListing(Op op, Listing listing) { listings_[static_cast<size_t>(op)] = listing; }

void* CallLog::handOut(size_t bytes)
{
    void* block = std::calloc(1, bytes == 0 ? 1 : bytes);
    if (block == nullptr)
        std::abort();
    outstanding_.insert(block);
    return block;
}

bool CallLog::giveBack(void* block)
{
    auto found = outstanding_.find(block);
    if (found == outstanding_.end())
        return false;
    std::free(block);
    outstanding_.erase(found);
    return true;
}

void CallLog::giveBackAll()
{
    for (void* block : outstanding_)
        std::free(block);
    outstanding_.clear();
}

uint32_t CallLog::keepPath(const EntityPath& path)
{
    int kept = ENTITY_PATH_MAX_IDS;
    while (kept > 0 && path.ids[kept - 1] == 0)
        --kept;
    auto at = static_cast<uint32_t>(paths_.size());
    paths_.push_back(path.count);
    paths_.push_back(kept);
    paths_.insert(paths_.end(), path.ids, path.ids + kept);
    return at;
}

EntityPath CallLog::keptPath(uint32_t at) const
{
    EntityPath path{};
    path.count = paths_[at];
    auto kept = static_cast<size_t>(paths_[at + 1]);
    std::copy_n(paths_.begin() + at + 2, kept, path.ids);
    return path;
}

} // namespace ostrelsim
