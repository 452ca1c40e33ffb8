// The host API's operations (host_api.h) over the simulated host's document,
// each served through the shared prologue of host_call.h.
#include "host_api.h"

#include "host_call.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace ostrelsim;

namespace {

// A call recorded as being about the active object.
CallFacts aboutActive(const State& s, CallValues values)
{
    return {Subject::objectAt(&s.document.active), values};
}

std::string formName(const char* form)
{
    if (form == nullptr)
        return {};
    const void* end = std::memchr(form, 0, 32);
    return std::string(form, end ? static_cast<const char*>(end) - form : 32);
}

} // namespace

extern "C" {

int32_t hostRegisterCommand(const char* name, HostCommandHandler handler, double)
{
    return serve(Op::hostRegisterCommand, CallFacts{name}, [&](HostCall& call) {
        if (name == nullptr || handler == nullptr)
            return call.answer(STATUS_BAD_ARGUMENT);
        State& s = call.state();
        auto command = s.findCommand(name);
        if (command != s.commands.end())
            command->second = handler;
        else
            s.commands.emplace_back(name, handler);
        return 0;
    });
}

int32_t hostUnregisterCommand(const char* name)
{
    return serve(Op::hostUnregisterCommand, CallFacts{name}, [&](HostCall& call) {
        State& s = call.state();
        auto command = name != nullptr ? s.findCommand(name) : s.commands.end();
        if (command == s.commands.end())
            return call.answer(STATUS_NO_SUCH_COMMAND);
        s.commands.erase(command);
        return 0;
    });
}

int32_t hostSendCommand(const char* text)
{
    return serve(Op::hostSendCommand, CallFacts{text}, [&](HostCall& call) {
        if (text == nullptr)
            return call.answer(STATUS_BAD_ARGUMENT);
        call.state().sent.emplace_back(text);
        return 0;
    });
}

int32_t hostPathToRoot(EntityPath* path)
{
    return serve(Op::hostPathToRoot, CallFacts{}, [&](HostCall& call) {
        if (path == nullptr)
            return call.answer(STATUS_BAD_ARGUMENT);
        int32_t root = call.state().document.root;
        if (root == 0)
            return call.answer(STATUS_NO_ACTIVE_OBJECT);
        path->count = 1;
        path->ids[0] = root;
        return 0;
    });
}

int32_t hostActivateEntity(const EntityPath* path, int32_t option, int32_t flags, EntityPath* previous)
{
    const CallFacts facts{Subject::objectAt(path), {option, flags, previous != nullptr}, path};
    return serve(Op::hostActivateEntity, facts, [&](HostCall& call) {
        Document& document = call.state().document;
        if (previous != nullptr)
            *previous = document.active;
        if (path == nullptr)
            return call.answer(STATUS_BAD_ARGUMENT);
        if (document.resolve(*path) == 0)
            return call.answer(STATUS_NO_SUCH_OBJECT);
        document.active = *path;
        return 0;
    });
}

int32_t hostListComponentPaths(int32_t scope, int32_t kind, int32_t depth, int32_t* count, EntityPath** paths)
{
    auto facts = [&](const State& s) { return aboutActive(s, {scope, kind, depth}); };
    return serve(Op::hostListComponentPaths, facts, [&](HostCall& call) {
        if (count == nullptr || paths == nullptr)
            return call.answer(STATUS_BAD_ARGUMENT);
        State& s = call.state();
        if (s.document.resolve(s.document.active) == 0) {
            *count = 0;
            *paths = nullptr;
            return call.answer(STATUS_NO_ACTIVE_OBJECT);
        }
        s.log.handOutList(Op::hostListComponentPaths, s.document.componentPaths(s.document.active), count, paths);
        return 0;
    });
}

int32_t hostListHistory(int32_t scope, int32_t* count, int32_t** ids)
{
    auto facts = [&](const State& s) { return aboutActive(s, {scope}); };
    return serve(Op::hostListHistory, facts, [&](HostCall& call) {
        if (count == nullptr || ids == nullptr)
            return call.answer(STATUS_BAD_ARGUMENT);
        State& s = call.state();
        int32_t object = s.document.resolve(s.document.active);
        if (object == 0) {
            *count = 0;
            *ids = nullptr;
            return call.answer(STATUS_NO_ACTIVE_OBJECT);
        }
        s.log.handOutList(Op::hostListHistory, s.document.objects.at(object).history, count, ids);
        return 0;
    });
}

int32_t hostGetEntityName(int32_t id, char* buffer, int32_t size)
{
    return serve(Op::hostGetEntityName, CallFacts{{}, {id, size}}, [&](HostCall& call) {
        const std::string* entity = call.state().document.findEntityName(id);
        if (entity == nullptr)
            return call.answer(STATUS_NO_SUCH_ENTITY);
        if (buffer == nullptr || size <= 0)
            return call.answer(STATUS_BAD_ARGUMENT);
        const std::string& name = *entity;
        if (call.state().log.namesWithoutNul) {
            for (int32_t i = 0; i < size; ++i)
                buffer[i] = name.empty() ? 'x' : name[static_cast<size_t>(i) % name.size()];
            return 0;
        }
        // A host cuts a name to the buffer it is given.
        size_t length = std::min(name.size(), static_cast<size_t>(size - 1));
        std::memcpy(buffer, name.data(), length);
        buffer[length] = '\0';
        return 0;
    });
}

int32_t hostSetEntityName(int32_t id, const char* name)
{
    std::string_view text = name != nullptr ? name : "";
    return serve(Op::hostSetEntityName, CallFacts{text, {id}}, [&](HostCall& call) {
        std::string* entity = call.state().document.findEntityName(id);
        if (entity == nullptr)
            return call.answer(STATUS_NO_SUCH_ENTITY);
        if (name == nullptr)
            return call.answer(STATUS_BAD_ARGUMENT);
        const Document& document = call.state().document;
        // Its own name again is no change, whoever else holds it.
        if (document.distinctNames && *entity != text && document.nameHeldBesides(id, std::string(text)))
            return call.answer(STATUS_NAME_TAKEN);
        *entity = text;
        return 0;
    });
}

// The one operation that goes on past a fault, so it has the prologue's
// pieces rather than serve().
int32_t hostFreeMemory(void* addressOfPointer)
{
    void** pointer = static_cast<void**>(addressOfPointer);
    HostCall call;
    int32_t status = 0;
    bool refused = call.record(Op::hostFreeMemory, {{}, {pointer == nullptr || *pointer == nullptr}}, status);
    // A refused release still releases: the caller could do nothing about it,
    // and the records would otherwise blame it for a leak.
    if (pointer == nullptr)
        return call.answer(refused ? status : STATUS_BAD_ARGUMENT);
    if (*pointer == nullptr)
        return status;
    if (!call.state().log.giveBack(*pointer))
        return call.answer(STATUS_BAD_ARGUMENT);
    *pointer = nullptr;
    return status;
}

int32_t hostGetUserActionStatus(int32_t* value)
{
    auto facts = [](const State& s) { return CallFacts{{}, {s.userStatus}}; };
    return serve(Op::hostGetUserActionStatus, facts, [&](HostCall& call) {
        if (value == nullptr)
            return call.answer(STATUS_BAD_ARGUMENT);
        *value = call.state().userStatus;
        return 0;
    });
}

int32_t hostSetUserActionStatus(int32_t value)
{
    return serve(Op::hostSetUserActionStatus, CallFacts{{}, {value}}, [&](HostCall& call) {
        call.state().userStatus = value;
        return 0;
    });
}

int32_t hostDataGetEntities(int32_t idData, int32_t field, int32_t* count, int32_t** ids)
{
    return serve(Op::hostDataGetEntities, CallFacts{{}, {idData, field}}, [&](HostCall& call) {
        if (count == nullptr || ids == nullptr || field != 1)
            return call.answer(STATUS_BAD_ARGUMENT);
        State& s = call.state();
        auto data = s.formEntities.find(idData);
        if (data == s.formEntities.end())
            return call.answer(STATUS_NO_SUCH_OBJECT);
        s.log.handOutList(Op::hostDataGetEntities, data->second, count, ids);
        return 0;
    });
}

int32_t hostCreateForm(char* form, int32_t options)
{
    std::string name = formName(form);
    return serve(Op::hostCreateForm, CallFacts{name, {options}}, [&](HostCall& call) {
        if (name.empty())
            return call.answer(STATUS_BAD_ARGUMENT);
        call.state().createdForms.push_back(name);
        return 0;
    });
}

int32_t hostShowForm(char* form)
{
    std::string name = formName(form);
    return serve(Op::hostShowForm, CallFacts{name}, [&](HostCall& call) {
        State& s = call.state();
        if (std::find(s.createdForms.begin(), s.createdForms.end(), name) == s.createdForms.end())
            return call.answer(STATUS_NO_SUCH_OBJECT);
        s.shownForms.push_back(name);
        return 0;
    });
}

const char* hostGetErrorText(int32_t code)
{
    return serve(Op::hostGetErrorText, CallFacts{{}, {code}}, [&](HostCall& call) {
        std::map<int32_t, std::string>& texts = call.state().errorTexts;
        auto text = texts.find(code);
        if (text == texts.end() && code == STATUS_NAME_TAKEN)
            text = texts.emplace(code, "another entry of the object holds the name").first;
        if (text == texts.end()) {
            char fallback[48];
            std::snprintf(fallback, sizeof fallback, "Ostrel status %d", static_cast<int>(code));
            text = texts.emplace(code, fallback).first;
        }
        return text->second.c_str();
    });
}

int32_t hostDisplayMessage(const char* text, int32_t level)
{
    Message message;
    void (*listener)(const Message&, void*) = nullptr;
    void* context = nullptr;
    int32_t status = serve(Op::hostDisplayMessage, CallFacts{text, {level}}, [&](HostCall& call) {
        if (text == nullptr)
            return call.answer(STATUS_BAD_ARGUMENT);
        State& s = call.state();
        message = {level, text};
        s.messages.push_back(message);
        listener = s.listener;
        context = s.listenerContext;
        return 0;
    });
    // Outside the host's lock, which the listener may need to call the host.
    if (listener != nullptr)
        listener(message, context);
    return status;
}

} // extern "C"
