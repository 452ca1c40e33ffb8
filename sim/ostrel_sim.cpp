// The simulated Ostrel host: the host API's operations over an in-memory
// document, with the records and fault injection that tests rely on.
#include "ostrel_sim.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <unordered_set>
#include <utility>

namespace ostrelsim {
namespace {

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

constexpr std::string_view kOpNames[] = {
#define OSTREL_SIM_OP_NAME(name) #name,
    OSTREL_SIM_OPS(OSTREL_SIM_OP_NAME)
#undef OSTREL_SIM_OP_NAME
};

constexpr size_t kOpCount = std::size(kOpNames);

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

struct Object {
    std::string name;
    std::vector<int32_t> history;
    std::vector<int32_t> occurrences;
};

struct Occurrence {
    int32_t parent;
    int32_t child;
};

struct Fault {
    Op op;
    int nth;
    int32_t status;
    int seen = 0;
};

constexpr uint32_t kNoPath = UINT32_MAX;

// A call as recorded. A run makes close to a million calls and calls() is
// asked for rarely, so the record is small and holds no memory of its own:
// its subject lives in State::subjects, right after the previous record's,
// and its path in State::paths.
struct Record {
    Op op;
    uint8_t valueCount;
    int32_t status;
    std::array<int32_t, 3> values;   // no operation records more than three
    uint32_t pathAt;        // where State::paths keeps the path, or kNoPath
    size_t subjectEnd;
};

struct State {
    int32_t nextId = 1;
    std::map<int32_t, Object> objects;
    std::vector<int32_t> objectOrder;
    // Indexed by id, which every kind of thing draws from: names are read and
    // written by id on every history entry of a run.
    std::vector<std::optional<std::string>> entityNames;
    std::map<int32_t, Occurrence> occurrences;
    int32_t root = 0;
    EntityPath active{};
    int32_t userStatus = 0;
    std::vector<std::pair<std::string, HostCommandHandler>> commands;
    std::vector<std::string> sent;
    std::vector<Message> messages;
    void (*listener)(const Message&, void*) = nullptr;
    void* listenerContext = nullptr;
    std::map<int32_t, std::vector<int32_t>> formEntities;
    std::vector<std::string> createdForms;
    std::vector<std::string> shownForms;
    std::map<int32_t, std::string> errorTexts;
    std::vector<Record> records;
    std::string subjects;
    // Each recorded path as its count, the number of ids kept, and those ids:
    // the ids up to the last that is not 0, so that a path comes back whole.
    std::vector<int32_t> paths;
    std::vector<Fault> faults;
    std::array<Listing, kOpCount> listings{};
    bool namesWithoutNul = false;
    std::unordered_set<void*> outstanding;
};

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

using Lock = std::lock_guard<std::mutex>;

EntityPath rootPathOf(int32_t root)
{
    EntityPath path{};
    if (root != 0) {
        path.count = 1;
        path.ids[0] = root;
    }
    return path;
}

// The ids that a path really uses: up to its count, stopping at an id of 0.
int usedLength(const EntityPath& path)
{
    if (path.count < 1 || path.count > ENTITY_PATH_MAX_IDS)
        return 0;
    int length = 1;
    while (length < path.count && path.ids[length] != 0)
        ++length;
    return length;
}

int32_t resolveLocked(const State& s, const EntityPath& path)
{
    int length = usedLength(path);
    if (length == 0 || s.root == 0 || path.ids[0] != s.root)
        return 0;
    int32_t current = s.root;
    for (int i = 1; i < length; ++i) {
        auto occurrence = s.occurrences.find(path.ids[i]);
        if (occurrence == s.occurrences.end() || occurrence->second.parent != current)
            return 0;
        current = occurrence->second.child;
    }
    return current;
}

std::string describeLocked(const State& s, const EntityPath& path)
{
    if (resolveLocked(s, path) == 0)
        return "?";
    std::string text = "/" + s.objects.at(s.root).name;
    int length = usedLength(path);
    for (int i = 1; i < length; ++i)
        text += "/" + s.objects.at(s.occurrences.at(path.ids[i]).child).name;
    return text;
}

std::string* findEntityName(State& s, int32_t id)
{
    if (id < 0 || static_cast<size_t>(id) >= s.entityNames.size() || !s.entityNames[static_cast<size_t>(id)])
        return nullptr;
    return &*s.entityNames[static_cast<size_t>(id)];
}

uint32_t keepPath(State& s, const EntityPath& path)
{
    int kept = ENTITY_PATH_MAX_IDS;
    while (kept > 0 && path.ids[kept - 1] == 0)
        --kept;
    auto at = static_cast<uint32_t>(s.paths.size());
    s.paths.push_back(path.count);
    s.paths.push_back(kept);
    s.paths.insert(s.paths.end(), path.ids, path.ids + kept);
    return at;
}

EntityPath keptPath(const State& s, uint32_t at)
{
    EntityPath path{};
    path.count = s.paths[at];
    auto kept = static_cast<size_t>(s.paths[at + 1]);
    std::copy_n(s.paths.begin() + at + 2, kept, path.ids);
    return path;
}

// Records a call and, when a fault is set for it, answers its status.
bool faulted(State& s, Op op, std::string_view subject, std::initializer_list<int32_t> values, int32_t& status,
             const EntityPath* path = nullptr)
{
    status = 0;
    bool hit = false;
    for (Fault& fault : s.faults) {
        if (fault.op != op)
            continue;
        ++fault.seen;
        if (!hit && (fault.nth == 0 || fault.seen == fault.nth)) {
            status = fault.status;
            hit = true;
        }
    }
    Record record{op, static_cast<uint8_t>(values.size()), status, {}, kNoPath, 0};
    if (values.size() > record.values.size())
        std::abort();
    std::copy(values.begin(), values.end(), record.values.begin());
    s.subjects.append(subject);
    record.subjectEnd = s.subjects.size();
    if (path != nullptr)
        record.pathAt = keepPath(s, *path);
    s.records.push_back(record);
    return hit;
}

// Settles the status of the call recorded last.
int32_t answer(State& s, int32_t status)
{
    s.records.back().status = status;
    return status;
}

void* handOut(State& s, size_t bytes)
{
    void* block = std::calloc(1, bytes == 0 ? 1 : bytes);
    if (block == nullptr)
        std::abort();
    s.outstanding.insert(block);
    return block;
}

// Hands a list out as a listing of `op` should, odd data included.
template <typename T>
void handOutList(State& s, Op op, const std::vector<T>& items, int32_t* count, T** array)
{
    Listing listing = s.listings[static_cast<size_t>(op)];
    if (listing == Listing::NullArray) {
        *count = items.empty() ? 1 : static_cast<int32_t>(items.size());
        *array = nullptr;
        return;
    }
    T* block = static_cast<T*>(handOut(s, items.size() * sizeof(T)));
    if (!items.empty())
        std::memcpy(block, items.data(), items.size() * sizeof(T));
    *array = block;
    *count = listing == Listing::NegativeCount ? -1 : static_cast<int32_t>(items.size());
}

std::string formName(const char* form)
{
    if (form == nullptr)
        return {};
    const void* end = std::memchr(form, 0, 32);
    return std::string(form, end ? static_cast<const char*>(end) - form : 32);
}

} // namespace

void reset()
{
    Lock lock(stateMutex());
    for (void* block : state().outstanding)
        std::free(block);
    state() = State{};
}

int32_t addObject(const std::string& name)
{
    Lock lock(stateMutex());
    State& s = state();
    int32_t id = s.nextId++;
    s.objects[id].name = name;
    s.objectOrder.push_back(id);
    if (s.root == 0) {
        s.root = id;
        s.active = rootPathOf(id);
    }
    return id;
}

void setRoot(int32_t object)
{
    Lock lock(stateMutex());
    state().root = object;
    state().active = rootPathOf(object);
}

int32_t root()
{
    Lock lock(stateMutex());
    return state().root;
}

int32_t addHistoryEntry(int32_t object, const std::string& name)
{
    Lock lock(stateMutex());
    State& s = state();
    int32_t id = s.nextId++;
    if (s.entityNames.size() <= static_cast<size_t>(id))
        s.entityNames.resize(static_cast<size_t>(id) + 1);
    s.entityNames[static_cast<size_t>(id)] = name;
    s.objects.at(object).history.push_back(id);
    return id;
}

int32_t addComponent(int32_t parent, int32_t child)
{
    Lock lock(stateMutex());
    State& s = state();
    int32_t id = s.nextId++;
    s.occurrences[id] = {parent, child};
    s.objects.at(parent).occurrences.push_back(id);
    return id;
}

std::string objectName(int32_t object)
{
    Lock lock(stateMutex());
    return state().objects.at(object).name;
}

std::vector<int32_t> history(int32_t object)
{
    Lock lock(stateMutex());
    return state().objects.at(object).history;
}

std::vector<int32_t> components(int32_t object)
{
    Lock lock(stateMutex());
    std::vector<int32_t> children;
    for (int32_t occurrence : state().objects.at(object).occurrences)
        children.push_back(state().occurrences.at(occurrence).child);
    return children;
}

std::string entityName(int32_t entity)
{
    Lock lock(stateMutex());
    const std::string* name = findEntityName(state(), entity);
    if (name == nullptr)
        throw std::out_of_range("no history entry has the id " + std::to_string(entity));
    return *name;
}

std::vector<int32_t> objects()
{
    Lock lock(stateMutex());
    return state().objectOrder;
}

int32_t resolve(const EntityPath& path)
{
    Lock lock(stateMutex());
    return resolveLocked(state(), path);
}

std::string describe(const EntityPath& path)
{
    Lock lock(stateMutex());
    return describeLocked(state(), path);
}

EntityPath activePath()
{
    Lock lock(stateMutex());
    return state().active;
}

int32_t activeObject()
{
    Lock lock(stateMutex());
    return resolveLocked(state(), state().active);
}

int32_t userActionStatus()
{
    Lock lock(stateMutex());
    return state().userStatus;
}

void setUserActionStatus(int32_t status)
{
    Lock lock(stateMutex());
    state().userStatus = status;
}

bool isRegistered(const std::string& command)
{
    Lock lock(stateMutex());
    const auto& commands = state().commands;
    return std::any_of(commands.begin(), commands.end(), [&](const auto& entry) { return entry.first == command; });
}

std::vector<std::string> registeredCommands()
{
    Lock lock(stateMutex());
    std::vector<std::string> names;
    for (const auto& entry : state().commands)
        names.push_back(entry.first);
    return names;
}

bool runCommand(const std::string& command, int32_t* result)
{
    HostCommandHandler handler = nullptr;
    {
        Lock lock(stateMutex());
        for (const auto& entry : state().commands)
            if (entry.first == command)
                handler = entry.second;
    }
    if (handler == nullptr)
        return false;
    int32_t value = handler();
    if (result != nullptr)
        *result = value;
    return true;
}

std::vector<std::string> sentCommands()
{
    Lock lock(stateMutex());
    return state().sent;
}

std::vector<Message> messages()
{
    Lock lock(stateMutex());
    return state().messages;
}

void onMessage(void (*listener)(const Message&, void*), void* context)
{
    Lock lock(stateMutex());
    state().listener = listener;
    state().listenerContext = context;
}

void setFormEntities(int32_t idData, std::vector<int32_t> entities)
{
    Lock lock(stateMutex());
    state().formEntities[idData] = std::move(entities);
}

std::vector<std::string> createdForms()
{
    Lock lock(stateMutex());
    return state().createdForms;
}

std::vector<std::string> shownForms()
{
    Lock lock(stateMutex());
    return state().shownForms;
}

void setErrorText(int32_t status, const std::string& text)
{
    Lock lock(stateMutex());
    state().errorTexts[status] = text;
}

std::vector<Call> calls()
{
    Lock lock(stateMutex());
    const State& s = state();
    std::vector<Call> list;
    list.reserve(s.records.size());
    size_t subjectBegin = 0;
    for (const Record& record : s.records) {
        Call& call = list.emplace_back();
        call.op = nameOf(record.op);
        call.subject.assign(s.subjects, subjectBegin, record.subjectEnd - subjectBegin);
        subjectBegin = record.subjectEnd;
        call.values.assign(record.values.begin(), record.values.begin() + record.valueCount);
        if (record.pathAt != kNoPath)
            call.path = std::make_shared<const EntityPath>(keptPath(s, record.pathAt));
        call.status = record.status;
    }
    return list;
}

void clearCalls()
{
    Lock lock(stateMutex());
    State& s = state();
    s.records.clear();
    s.subjects.clear();
    s.paths.clear();
}

void failCall(const std::string& op, int nth, int32_t status)
{
    Op named = opNamed(op);
    Lock lock(stateMutex());
    state().faults.push_back({named, nth, status});
}

void setListing(const std::string& op, Listing listing)
{
    Op named = opNamed(op);
    Lock lock(stateMutex());
    state().listings[static_cast<size_t>(named)] = listing;
}

void setNamesWithoutNul(bool on)
{
    Lock lock(stateMutex());
    state().namesWithoutNul = on;
}

size_t outstandingArrays()
{
    Lock lock(stateMutex());
    return state().outstanding.size();
}

} // namespace ostrelsim

using namespace ostrelsim;

extern "C" {

int32_t hostRegisterCommand(const char* name, HostCommandHandler handler, double)
{
    Lock lock(stateMutex());
    State& s = state();
    int32_t status;
    if (faulted(s, Op::hostRegisterCommand, name ? name : "", {}, status))
        return status;
    if (name == nullptr || handler == nullptr)
        return answer(s, STATUS_BAD_ARGUMENT);
    auto& commands = s.commands;
    auto it = std::find_if(commands.begin(), commands.end(), [&](const auto& entry) { return entry.first == name; });
    if (it != commands.end())
        it->second = handler;
    else
        commands.emplace_back(name, handler);
    return 0;
}

int32_t hostUnregisterCommand(const char* name)
{
    Lock lock(stateMutex());
    State& s = state();
    int32_t status;
    if (faulted(s, Op::hostUnregisterCommand, name ? name : "", {}, status))
        return status;
    auto& commands = s.commands;
    auto it = std::find_if(commands.begin(), commands.end(),
                           [&](const auto& entry) { return name != nullptr && entry.first == name; });
    if (it == commands.end())
        return answer(s, STATUS_NO_SUCH_COMMAND);
    commands.erase(it);
    return 0;
}

int32_t hostSendCommand(const char* text)
{
    Lock lock(stateMutex());
    State& s = state();
    int32_t status;
    if (faulted(s, Op::hostSendCommand, text ? text : "", {}, status))
        return status;
    if (text == nullptr)
        return answer(s, STATUS_BAD_ARGUMENT);
    s.sent.emplace_back(text);
    return 0;
}

int32_t hostPathToRoot(EntityPath* path)
{
    Lock lock(stateMutex());
    State& s = state();
    int32_t status;
    if (faulted(s, Op::hostPathToRoot, {}, {}, status))
        return status;
    if (path == nullptr)
        return answer(s, STATUS_BAD_ARGUMENT);
    if (s.root == 0)
        return answer(s, STATUS_NO_ACTIVE_OBJECT);
    path->count = 1;
    path->ids[0] = s.root;
    return 0;
}

int32_t hostActivateEntity(const EntityPath* path, int32_t option, int32_t flags, EntityPath* previous)
{
    Lock lock(stateMutex());
    State& s = state();
    int32_t status;
    if (faulted(s, Op::hostActivateEntity, path ? describeLocked(s, *path) : "?", {option, flags, previous != nullptr},
                status, path))
        return status;
    if (previous != nullptr)
        *previous = s.active;
    if (path == nullptr)
        return answer(s, STATUS_BAD_ARGUMENT);
    if (resolveLocked(s, *path) == 0)
        return answer(s, STATUS_NO_SUCH_OBJECT);
    s.active = *path;
    return 0;
}

int32_t hostListComponentPaths(int32_t scope, int32_t kind, int32_t depth, int32_t* count, EntityPath** paths)
{
    Lock lock(stateMutex());
    State& s = state();
    int32_t status;
    if (faulted(s, Op::hostListComponentPaths, describeLocked(s, s.active), {scope, kind, depth}, status))
        return status;
    if (count == nullptr || paths == nullptr)
        return answer(s, STATUS_BAD_ARGUMENT);
    int32_t object = resolveLocked(s, s.active);
    if (object == 0) {
        *count = 0;
        *paths = nullptr;
        return answer(s, STATUS_NO_ACTIVE_OBJECT);
    }
    EntityPath base{};
    base.count = usedLength(s.active);
    std::copy(s.active.ids, s.active.ids + base.count, base.ids);
    std::vector<EntityPath> listed;
    listed.reserve(s.objects.at(object).occurrences.size());
    for (int32_t occurrence : s.objects.at(object).occurrences) {
        EntityPath child = base;
        if (child.count < ENTITY_PATH_MAX_IDS)
            child.ids[child.count++] = occurrence;
        listed.push_back(child);
    }
    handOutList(s, Op::hostListComponentPaths, listed, count, paths);
    return 0;
}

int32_t hostListHistory(int32_t scope, int32_t* count, int32_t** ids)
{
    Lock lock(stateMutex());
    State& s = state();
    int32_t status;
    if (faulted(s, Op::hostListHistory, describeLocked(s, s.active), {scope}, status))
        return status;
    if (count == nullptr || ids == nullptr)
        return answer(s, STATUS_BAD_ARGUMENT);
    int32_t object = resolveLocked(s, s.active);
    if (object == 0) {
        *count = 0;
        *ids = nullptr;
        return answer(s, STATUS_NO_ACTIVE_OBJECT);
    }
    handOutList(s, Op::hostListHistory, s.objects.at(object).history, count, ids);
    return 0;
}

int32_t hostGetEntityName(int32_t id, char* buffer, int32_t size)
{
    Lock lock(stateMutex());
    State& s = state();
    int32_t status;
    if (faulted(s, Op::hostGetEntityName, {}, {id, size}, status))
        return status;
    const std::string* entity = findEntityName(s, id);
    if (entity == nullptr)
        return answer(s, STATUS_NO_SUCH_ENTITY);
    if (buffer == nullptr || size <= 0)
        return answer(s, STATUS_BAD_ARGUMENT);
    const std::string& name = *entity;
    if (s.namesWithoutNul) {
        for (int32_t i = 0; i < size; ++i)
            buffer[i] = name.empty() ? 'x' : name[static_cast<size_t>(i) % name.size()];
        return 0;
    }
    // A host cuts a name to the buffer it is given.
    size_t length = std::min(name.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, name.data(), length);
    buffer[length] = '\0';
    return 0;
}

int32_t hostSetEntityName(int32_t id, const char* name)
{
    Lock lock(stateMutex());
    State& s = state();
    std::string_view text = name ? name : "";
    int32_t status;
    if (faulted(s, Op::hostSetEntityName, text, {id}, status))
        return status;
    std::string* entity = findEntityName(s, id);
    if (entity == nullptr)
        return answer(s, STATUS_NO_SUCH_ENTITY);
    if (name == nullptr)
        return answer(s, STATUS_BAD_ARGUMENT);
    *entity = text;
    return 0;
}

int32_t hostFreeMemory(void* addressOfPointer)
{
    Lock lock(stateMutex());
    State& s = state();
    void** pointer = static_cast<void**>(addressOfPointer);
    bool null = pointer == nullptr || *pointer == nullptr;
    int32_t status;
    bool refused = faulted(s, Op::hostFreeMemory, {}, {null}, status);
    // A refused release still releases: the caller could do nothing about it,
    // and the records would otherwise blame it for a leak.
    if (pointer == nullptr)
        return answer(s, refused ? status : STATUS_BAD_ARGUMENT);
    if (*pointer == nullptr)
        return status;
    auto block = s.outstanding.find(*pointer);
    if (block == s.outstanding.end())
        return answer(s, STATUS_BAD_ARGUMENT);
    std::free(*block);
    s.outstanding.erase(block);
    *pointer = nullptr;
    return status;
}

int32_t hostGetUserActionStatus(int32_t* value)
{
    Lock lock(stateMutex());
    State& s = state();
    int32_t status;
    if (faulted(s, Op::hostGetUserActionStatus, {}, {s.userStatus}, status))
        return status;
    if (value == nullptr)
        return answer(s, STATUS_BAD_ARGUMENT);
    *value = s.userStatus;
    return 0;
}

int32_t hostSetUserActionStatus(int32_t value)
{
    Lock lock(stateMutex());
    State& s = state();
    int32_t status;
    if (faulted(s, Op::hostSetUserActionStatus, {}, {value}, status))
        return status;
    s.userStatus = value;
    return 0;
}

int32_t hostDataGetEntities(int32_t idData, int32_t field, int32_t* count, int32_t** ids)
{
    Lock lock(stateMutex());
    State& s = state();
    int32_t status;
    if (faulted(s, Op::hostDataGetEntities, {}, {idData, field}, status))
        return status;
    if (count == nullptr || ids == nullptr || field != 1)
        return answer(s, STATUS_BAD_ARGUMENT);
    auto data = s.formEntities.find(idData);
    if (data == s.formEntities.end())
        return answer(s, STATUS_NO_SUCH_OBJECT);
    handOutList(s, Op::hostDataGetEntities, data->second, count, ids);
    return 0;
}

int32_t hostCreateForm(char* form, int32_t options)
{
    Lock lock(stateMutex());
    State& s = state();
    std::string name = formName(form);
    int32_t status;
    if (faulted(s, Op::hostCreateForm, name, {options}, status))
        return status;
    if (name.empty())
        return answer(s, STATUS_BAD_ARGUMENT);
    s.createdForms.push_back(name);
    return 0;
}

int32_t hostShowForm(char* form)
{
    Lock lock(stateMutex());
    State& s = state();
    std::string name = formName(form);
    int32_t status;
    if (faulted(s, Op::hostShowForm, name, {}, status))
        return status;
    if (std::find(s.createdForms.begin(), s.createdForms.end(), name) == s.createdForms.end())
        return answer(s, STATUS_NO_SUCH_OBJECT);
    s.shownForms.push_back(name);
    return 0;
}

const char* hostGetErrorText(int32_t code)
{
    Lock lock(stateMutex());
    State& s = state();
    int32_t status;
    if (faulted(s, Op::hostGetErrorText, {}, {code}, status))
        return nullptr;
    auto text = s.errorTexts.find(code);
    if (text == s.errorTexts.end()) {
        char fallback[48];
        std::snprintf(fallback, sizeof fallback, "Ostrel status %d", static_cast<int>(code));
        text = s.errorTexts.emplace(code, fallback).first;
    }
    return text->second.c_str();
}

int32_t hostDisplayMessage(const char* text, int32_t level)
{
    Message message;
    void (*listener)(const Message&, void*) = nullptr;
    void* context = nullptr;
    {
        Lock lock(stateMutex());
        State& s = state();
        int32_t status;
        if (faulted(s, Op::hostDisplayMessage, text ? text : "", {level}, status))
            return status;
        if (text == nullptr)
            return answer(s, STATUS_BAD_ARGUMENT);
        message = {level, text};
        s.messages.push_back(message);
        listener = s.listener;
        context = s.listenerContext;
    }
    if (listener != nullptr)
        listener(message, context);
    return 0;
}

} // extern "C"
