// The prologue that every operation of the simulated host shares: the call
// holds the host's lock while it runs, is recorded as it comes in, and is
// answered by an injected fault, when one is set for it, instead of running.
#pragma once

#include "host_state.h"

#include <string>
#include <string_view>
#include <type_traits>

namespace ostrelsim {

// What a call is about, as its record says: a text, or the object that a path
// names, described when the call is recorded.
class Subject {
public:
    Subject() = default;
    Subject(const char* text) : text_(text != nullptr ? text : "") {}
    Subject(std::string_view text) : text_(text) {}
    Subject(const std::string& text) : text_(text) {}
    // A null path names nothing: "?".
    static Subject objectAt(const EntityPath* path)
    {
        Subject subject;
        subject.isObject_ = true;
        subject.path_ = path;
        return subject;
    }

    bool isObject() const { return isObject_; }
    std::string_view text() const { return text_; }
    std::string describe(const Document& document) const { return path_ != nullptr ? document.describe(*path_) : "?"; }

private:
    std::string_view text_;
    bool isObject_ = false;
    const EntityPath* path_ = nullptr;
};

struct CallFacts {
    CallFacts(Subject about = {}, CallValues numbers = {}, const EntityPath* whole = nullptr)
        : subject(about), values(numbers), path(whole)
    {
    }

    Subject subject;
    CallValues values;
    const EntityPath* path;   // kept whole in the record
};

class HostCall {
public:
    HostCall() : lock_(stateMutex()), state_(ostrelsim::state()) {}
    State& state() { return state_; }
    // Records the call as operation `op`; true when a fault injected for it
    // answers it, with `fault` set to its status.
    bool record(Op op, const CallFacts& facts, int32_t& fault)
    {
        CallLog& log = state_.log;
        if (facts.subject.isObject())
            return log.record(op, facts.subject.describe(state_.document), facts.values, facts.path, fault);
        return log.record(op, facts.subject.text(), facts.values, facts.path, fault);
    }
    // Settles the status recorded for the call, and answers it.
    int32_t answer(int32_t status) { return state().log.answer(status); }

private:
    Lock lock_;
    State& state_;
};

// Runs `body(call)` as operation `op` unless a fault answers the call: with
// the fault's status, or no text for an operation that answers with text.
// `facts` are what the call is recorded with, or a function of the state
// that gives them, for a record that tells what the host holds.
template <typename Facts, typename Body>
auto serve(Op op, const Facts& facts, Body body)
{
    HostCall call;
    int32_t fault = 0;
    bool faulted = false;
    if constexpr (std::is_invocable_v<const Facts&, const State&>)
        faulted = call.record(op, facts(call.state()), fault);
    else
        faulted = call.record(op, facts, fault);
    using Answer = decltype(body(call));
    if (faulted) {
        if constexpr (std::is_same_v<Answer, int32_t>)
            return fault;
        else
            return Answer{};
    }
    return body(call);
}

} // namespace ostrelsim
