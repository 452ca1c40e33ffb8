// What tests and tools see of the simulated host (ostrel_sim.h): building the
// document, reading what the module did, and setting faults and odd data.
#include "ostrel_sim.h"

#include "host_state.h"

#include <stdexcept>

namespace ostrelsim {

void reset()
{
    withState([](State& s) {
        s.log.giveBackAll();
        s = State{};
    });
}

int32_t addObject(const std::string& name)
{
    return withState([&](State& s) { return s.document.addObject(name); });
}

void setRoot(int32_t object)
{
    withState([&](State& s) { s.document.setRoot(object); });
}

int32_t root()
{
    return withState([](State& s) { return s.document.root; });
}

int32_t addHistoryEntry(int32_t object, const std::string& name)
{
    return withState([&](State& s) { return s.document.addHistoryEntry(object, name); });
}

int32_t addComponent(int32_t parent, int32_t child)
{
    return withState([&](State& s) { return s.document.addComponent(parent, child); });
}

std::string objectName(int32_t object)
{
    return withState([&](State& s) { return s.document.objects.at(object).name; });
}

std::vector<int32_t> history(int32_t object)
{
    return withState([&](State& s) { return s.document.objects.at(object).history; });
}

std::vector<int32_t> components(int32_t object)
{
    return withState([&](State& s) { return s.document.children(object); });
}

std::string entityName(int32_t entity)
{
    return withState([&](State& s) {
        const std::string* name = s.document.findEntityName(entity);
        if (name == nullptr)
            throw std::out_of_range("no history entry has the id " + std::to_string(entity));
        return *name;
    });
}

std::vector<int32_t> objects()
{
    return withState([](State& s) { return s.document.objectOrder; });
}

int32_t resolve(const EntityPath& path)
{
    return withState([&](State& s) { return s.document.resolve(path); });
}

std::string describe(const EntityPath& path)
{
    return withState([&](State& s) { return s.document.describe(path); });
}

EntityPath activePath()
{
    return withState([](State& s) { return s.document.active; });
}

int32_t activeObject()
{
    return withState([](State& s) { return s.document.resolve(s.document.active); });
}

int32_t userActionStatus()
{
    return withState([](State& s) { return s.userStatus; });
}

void setUserActionStatus(int32_t status)
{
    withState([&](State& s) { s.userStatus = status; });
}

bool isRegistered(const std::string& command)
{
    return withState([&](State& s) { return s.findCommand(command) != s.commands.end(); });
}

std::vector<std::string> registeredCommands()
{
    return withState([](State& s) {
        std::vector<std::string> names;
        for (const auto& entry : s.commands)
            names.push_back(entry.first);
        return names;
    });
}

bool runCommand(const std::string& command, int32_t* result)
{
    // The handler runs outside the host's lock, as it calls the host.
    HostCommandHandler handler = withState([&](State& s) {
        auto found = s.findCommand(command);
        return found != s.commands.end() ? found->second : nullptr;
    });
    if (handler == nullptr)
        return false;
    int32_t value = handler();
    if (result != nullptr)
        *result = value;
    return true;
}

std::vector<std::string> sentCommands()
{
    return withState([](State& s) { return s.sent; });
}

std::vector<Message> messages()
{
    return withState([](State& s) { return s.messages; });
}

void onMessage(void (*listener)(const Message&, void*), void* context)
{
    withState([&](State& s) {
        s.listener = listener;
        s.listenerContext = context;
    });
}

void setFormEntities(int32_t idData, std::vector<int32_t> entities)
{
    withState([&](State& s) { s.formEntities[idData] = std::move(entities); });
}

std::vector<std::string> createdForms()
{
    return withState([](State& s) { return s.createdForms; });
}

std::vector<std::string> shownForms()
{
    return withState([](State& s) { return s.shownForms; });
}

void setErrorText(int32_t status, const std::string& text)
{
    withState([&](State& s) { s.errorTexts[status] = text; });
}

std::vector<Call> calls()
{
    return withState([](State& s) { return s.log.calls(); });
}

void clearCalls()
{
    withState([](State& s) { s.log.clear(); });
}

void clearRecords()
{
    withState([](State& s) {
        s.log.clear();
        std::vector<std::string>().swap(s.sent);
        std::vector<Message>().swap(s.messages);
    });
}

void failCall(const std::string& op, int nth, int32_t status)
{
    Op named = opNamed(op);
    withState([&](State& s) { s.log.addFault(named, nth, status); });
}

void setListing(const std::string& op, Listing listing)
{
    Op named = opNamed(op);
    withState([&](State& s) { s.log.setListing(named, listing); });
}

void setDistinctNames(bool on)
{
    withState([&](State& s) { s.document.distinctNames = on; });
}

bool distinctNames()
{
    return withState([](State& s) { return s.document.distinctNames; });
}

void setNamesWithoutNul(bool on)
{
    withState([&](State& s) { s.log.namesWithoutNul = on; });
}

size_t outstandingArrays()
{
    return withState([](State& s) { return s.log.outstanding(); });
}

} // namespace ostrelsim
