// The prologue of the simulated host's operations: how a call is recorded.
#include "host_call.h"

namespace ostrelsim {

Subject Subject::objectAt(const EntityPath* path)
{
    Subject subject("?");
    subject.describes_ = path != nullptr;
    subject.path_ = path;
    return subject;
}

std::string_view Subject::text(const Document& document, std::string& described) const
{
    if (!describes_)
        return text_;
    described = document.describe(*path_);
    return described;
}

std::optional<int32_t> HostCall::record(Op op, const CallFacts& facts)
{
    std::string described;
    return state().log.record(op, facts.subject.text(state().document, described), facts.values, facts.path);
}

} // namespace ostrelsim
