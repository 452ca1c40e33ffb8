// Helpers for tests against the simulated host.
#include "sim_test.h"

#include <algorithm>

std::vector<std::string> callTrace(const std::vector<std::string>& ops)
{
    std::vector<std::string> trace;
    for (const ostrelsim::Call& call : ostrelsim::calls()) {
        if (!ops.empty() && std::find(ops.begin(), ops.end(), call.op) == ops.end())
            continue;
        trace.push_back(call.subject.empty() ? std::string(call.op) : std::string(call.op) + " " + call.subject);
    }
    return trace;
}

std::vector<ostrelsim::Call> callsTo(const std::string& op)
{
    std::vector<ostrelsim::Call> selected;
    for (const ostrelsim::Call& call : ostrelsim::calls())
        if (call.op == op)
            selected.push_back(call);
    return selected;
}

int32_t addPart(const std::string& name, const std::vector<std::string>& history)
{
    int32_t object = ostrelsim::addObject(name);
    for (const std::string& entry : history)
        ostrelsim::addHistoryEntry(object, entry);
    return object;
}

std::vector<std::string> historyNames(int32_t object)
{
    std::vector<std::string> names;
    for (int32_t entity : ostrelsim::history(object))
        names.push_back(ostrelsim::entityName(entity));
    return names;
}
