// The operations of the Ostrel host's API library that the module calls, and
// the record they exchange. The module links against the library that
// provides these symbols; it neither knows nor cares which one that is.
#pragma once

#include <stdint.h>

#if defined(_WIN32)
#  if defined(OSTREL_API_BUILD)
#    define OSTREL_API __declspec(dllexport)
#  else
#    define OSTREL_API __declspec(dllimport)
#  endif
#else
#  define OSTREL_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum { ENTITY_PATH_MAX_IDS = 400 };

// Names an object by its path from the root. Held by value; 1604 bytes, which
// is also the stride of the arrays the host hands out.
typedef struct EntityPath {
    int32_t count;
    int32_t ids[ENTITY_PATH_MAX_IDS];
} EntityPath;

typedef int32_t (*HostCommandHandler)(void);

// Every operation returns 0 for success unless it says otherwise.
OSTREL_API int32_t hostRegisterCommand(const char* name, HostCommandHandler handler, double reserved);
OSTREL_API int32_t hostUnregisterCommand(const char* name);
OSTREL_API int32_t hostSendCommand(const char* text);
OSTREL_API int32_t hostPathToRoot(EntityPath* path);
// Makes `path` active; `previous`, when not null, receives the path that was
// active before, and activating it again (with a null `previous`) restores that.
OSTREL_API int32_t hostActivateEntity(const EntityPath* path, int32_t option, int32_t flags, EntityPath* previous);
OSTREL_API int32_t hostListComponentPaths(int32_t scope, int32_t kind, int32_t depth, int32_t* count, EntityPath** paths);
OSTREL_API int32_t hostListHistory(int32_t scope, int32_t* count, int32_t** ids);
OSTREL_API int32_t hostGetEntityName(int32_t id, char* buffer, int32_t size);
OSTREL_API int32_t hostSetEntityName(int32_t id, const char* name);
// Takes the address of the caller's pointer to a host array; a null pointer is accepted.
OSTREL_API int32_t hostFreeMemory(void* addressOfPointer);
OSTREL_API int32_t hostGetUserActionStatus(int32_t* status);
OSTREL_API int32_t hostSetUserActionStatus(int32_t status);
OSTREL_API int32_t hostDataGetEntities(int32_t idData, int32_t field, int32_t* count, int32_t** ids);
OSTREL_API int32_t hostCreateForm(char* form, int32_t options);
OSTREL_API int32_t hostShowForm(char* form);
// The host's own text for a status; it stays the host's and is read at once.
OSTREL_API const char* hostGetErrorText(int32_t status);
OSTREL_API int32_t hostDisplayMessage(const char* text, int32_t level);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(EntityPath) == 1604, "EntityPath is 1604 bytes, the stride of host arrays");
#endif
