// The simulated Ostrel host: an in-memory document behind the host API, for
// tests and for the ostrel-sim program. It records every host call, can be
// told to fail any operation or hand out odd data, and tracks every array it
// hands out until it comes back through hostFreeMemory.
//
// How paths name objects: ids[0] is the id of the root object; each further id
// is the id of a component occurrence inside the object named so far. An id of
// 0 ends the path early, so the root path that hostPathToRoot fills, used with
// a count of 2, still names the root. Component paths are listed in full; a
// path that would need more than the record's 400 ids is cut to those 400, so
// that it names the object one level up, as a host with a fixed-size record
// would.
#pragma once

#include "host_api.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#if defined(_WIN32)
#  if defined(OSTREL_API_BUILD)
#    define OSTREL_SIM_API __declspec(dllexport)
#  else
#    define OSTREL_SIM_API __declspec(dllimport)
#  endif
#else
#  define OSTREL_SIM_API __attribute__((visibility("default")))
#endif

namespace ostrelsim {

// Status codes that the simulated host returns of its own accord.
enum : int32_t {
    STATUS_OK = 0,
    STATUS_NO_SUCH_OBJECT = -2,
    STATUS_NO_SUCH_ENTITY = -3,
    STATUS_NO_ACTIVE_OBJECT = -4,
    STATUS_BAD_ARGUMENT = -5,
    STATUS_NO_SUCH_COMMAND = -6,
    STATUS_NAME_TAKEN = -7,   // with distinct names: another entry of the object holds the name
};

// One host call as the module made it.
struct Call {
    std::string_view op;            // the operation's name, e.g. "hostActivateEntity"
    std::string subject;            // what it was about: an object path such as "/R/A", a text, a form name
    std::vector<int64_t> values;    // the numeric arguments that matter, in order
    std::shared_ptr<const EntityPath> path;  // the path passed in, for hostActivateEntity only
    int32_t status = 0;             // what the host answered
};

struct Message {
    int32_t level;
    std::string text;
};

// Odd data that a listing can hand out instead of the true list.
enum class Listing {
    True,               // the real list
    NegativeCount,      // a count of -1 with a real array
    NullArray,          // a positive count with a null array
};

// Empties the document and every record, fault and registration.
OSTREL_SIM_API void reset();

// --- The document -----------------------------------------------------------
// Objects are parts or assemblies; the first one added is the root unless
// setRoot says otherwise. Names are narrow text, kept as the bytes given.
OSTREL_SIM_API int32_t addObject(const std::string& name);
OSTREL_SIM_API void setRoot(int32_t object);
OSTREL_SIM_API int32_t root();
// Appends a history entry and returns its entity id.
OSTREL_SIM_API int32_t addHistoryEntry(int32_t object, const std::string& name);
// Appends a component occurrence of `child` to `parent`; returns the occurrence id.
OSTREL_SIM_API int32_t addComponent(int32_t parent, int32_t child);
OSTREL_SIM_API std::string objectName(int32_t object);
OSTREL_SIM_API std::vector<int32_t> history(int32_t object);
OSTREL_SIM_API std::vector<int32_t> components(int32_t object);   // the child objects, in order
OSTREL_SIM_API std::string entityName(int32_t entity);
OSTREL_SIM_API std::vector<int32_t> objects();                     // every object, in the order added
// The object that `path` names, or 0.
OSTREL_SIM_API int32_t resolve(const EntityPath& path);
// "/Root/A/A1" for a path, "?" when it names nothing.
OSTREL_SIM_API std::string describe(const EntityPath& path);
OSTREL_SIM_API EntityPath activePath();
OSTREL_SIM_API int32_t activeObject();
OSTREL_SIM_API int32_t userActionStatus();
// Whether hostSetEntityName refuses a name that another history entry of the
// same object holds (STATUS_NAME_TAKEN), as many CAD hosts do; an entry's
// own name set again is accepted. Off after
// reset(): the host accepts any name.
OSTREL_SIM_API void setDistinctNames(bool on);
OSTREL_SIM_API bool distinctNames();
OSTREL_SIM_API void setUserActionStatus(int32_t status);

// --- Commands, messages, forms ----------------------------------------------
OSTREL_SIM_API bool isRegistered(const std::string& command);
OSTREL_SIM_API std::vector<std::string> registeredCommands();
// Runs a registered command's handler as the host does when the user runs it.
// False when no handler is registered under that name.
OSTREL_SIM_API bool runCommand(const std::string& command, int32_t* result = nullptr);
OSTREL_SIM_API std::vector<std::string> sentCommands();
OSTREL_SIM_API std::vector<Message> messages();
// Called for each message as it arrives (in addition to recording it).
OSTREL_SIM_API void onMessage(void (*listener)(const Message&, void*), void* context);
OSTREL_SIM_API void setFormEntities(int32_t idData, std::vector<int32_t> entities);
OSTREL_SIM_API std::vector<std::string> createdForms();
OSTREL_SIM_API std::vector<std::string> shownForms();
OSTREL_SIM_API void setErrorText(int32_t status, const std::string& text);

// --- Records and faults -----------------------------------------------------
// Operations are named as in the host API ("hostListHistory"); naming any
// other throws std::invalid_argument.
OSTREL_SIM_API std::vector<Call> calls();
OSTREL_SIM_API void clearCalls();
// Forgets the calls, the commands sent and the messages shown, and keeps the
// document, the registrations and the faults: for a test that runs commands
// thousands of times and measures what the module holds, not the records.
OSTREL_SIM_API void clearRecords();
// Makes the nth call (1-based, counted from now) of `op` fail with `status`
// without doing anything else; nth = 0 fails every call.
OSTREL_SIM_API void failCall(const std::string& op, int nth, int32_t status);
// What hostListHistory, hostListComponentPaths or hostDataGetEntities hand out.
OSTREL_SIM_API void setListing(const std::string& op, Listing listing);
// hostGetEntityName fills the whole buffer with name bytes and no NUL.
OSTREL_SIM_API void setNamesWithoutNul(bool on);
// Arrays handed out and not yet given back through hostFreeMemory.
OSTREL_SIM_API size_t outstandingArrays();

} // namespace ostrelsim
