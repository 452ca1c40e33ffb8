// The simulated host's document: objects (parts and assemblies) with their
// history entries and component occurrences, the paths that name them (see
// ostrel_sim.h), and the path that is active. It takes no lock of its own:
// the host's state is guarded as a whole (host_state.h).
#pragma once

#include "host_api.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ostrelsim {

struct Object {
    std::string name;
    std::vector<int32_t> history;
    std::vector<int32_t> occurrences;
};

struct Occurrence {
    int32_t parent;
    int32_t child;
};

struct Document {
    int32_t addObject(const std::string& name);
    void setRoot(int32_t object);
    int32_t addHistoryEntry(int32_t object, const std::string& name);
    int32_t addComponent(int32_t parent, int32_t child);

    // The child objects of `object`, in order.
    std::vector<int32_t> children(int32_t object) const;
    // The name of the history entry `id`, or null when no entry has that id.
    // Here rather than out of line, as a run looks up every name it reads or
    // writes.
    std::string* findEntityName(int32_t id)
    {
        auto at = static_cast<size_t>(id);
        if (id < 0 || at >= entityNames.size() || !entityNames[at])
            return nullptr;
        return &*entityNames[at];
    }
    // Whether another history entry of the object that holds entry `id` is
    // named `name`.
    bool nameHeldBesides(int32_t id, const std::string& name) const;
    // The object that `path` names, or 0.
    int32_t resolve(const EntityPath& path) const;
    // "/Root/A/A1" for a path, "?" when it names nothing.
    std::string describe(const EntityPath& path) const;
    // The paths of the component occurrences inside the object that `path`
    // names, which must name one.
    std::vector<EntityPath> componentPaths(const EntityPath& path) const;

    int32_t nextId = 1;
    std::map<int32_t, Object> objects;
    std::vector<int32_t> objectOrder;
    // Indexed by id, which every kind of thing draws from: names are read and
    // written by id on every history entry of a run.
    std::vector<std::optional<std::string>> entityNames;
    // The object each history entry belongs to, indexed like entityNames.
    std::vector<int32_t> entityObjects;
    // Whether a name that another entry of the same object holds is refused,
    // as many CAD hosts do.
    bool distinctNames = false;
    std::map<int32_t, Occurrence> occurrences;
    int32_t root = 0;
    EntityPath active{};
};

} // namespace ostrelsim
