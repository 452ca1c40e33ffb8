// The simulated host's whole state and the one lock that guards it: the
// document, the record of calls, and what the module has registered, sent,
// shown and asked for.
#pragma once

#include "call_log.h"
#include "document.h"
#include "ostrel_sim.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ostrelsim {

struct State {
    using Commands = std::vector<std::pair<std::string, HostCommandHandler>>;
    // The command registered under `name`, or commands.end().
    Commands::iterator findCommand(std::string_view name)
    {
        return std::find_if(commands.begin(), commands.end(), [&](const auto& entry) { return entry.first == name; });
    }

    Document document;
    CallLog log;
    int32_t userStatus = 0;
    Commands commands;
    std::vector<std::string> sent;
    std::vector<Message> messages;
    void (*listener)(const Message&, void*) = nullptr;
    void* listenerContext = nullptr;
    std::map<int32_t, std::vector<int32_t>> formEntities;
    std::vector<std::string> createdForms;
    std::vector<std::string> shownForms;
    std::map<int32_t, std::string> errorTexts;
};

// Both inline, as every host call takes them.
inline std::mutex& stateMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Only to be used under stateMutex().
inline State& state()
{
    static State* instance = new State;   // outlives every static that might still call the host
    return *instance;
}

using Lock = std::lock_guard<std::mutex>;

// `use(state())` under the host's lock.
template <typename Use>
auto withState(Use use)
{
    Lock lock(stateMutex());
    return use(state());
}

} // namespace ostrelsim
