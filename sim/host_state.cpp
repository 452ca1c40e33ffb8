// The simulated host's one state and its lock.
#include "host_state.h"

#include <algorithm>

namespace ostrelsim {

State::Commands::iterator State::findCommand(std::string_view name)
{
    return std::find_if(commands.begin(), commands.end(), [&](const auto& entry) { return entry.first == name; });
}

std::mutex& stateMutex()
{
    static std::mutex mutex;
    return mutex;
}

State& state()
{
    static State* instance = new State;   // outlives every static that might still call the host
    return *instance;
}

} // namespace ostrelsim
