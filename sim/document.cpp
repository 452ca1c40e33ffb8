// The simulated host's document: how it grows and how paths name its objects.
#include "document.h"

#include <algorithm>

namespace ostrelsim {
namespace {

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

} // namespace

int32_t Document::addObject(const std::string& name)
{
    int32_t id = nextId++;
    objects[id].name = name;
    objectOrder.push_back(id);
    if (root == 0)
        setRoot(id);
    return id;
}

void Document::setRoot(int32_t object)
{
    root = object;
    active = rootPathOf(object);
}

int32_t Document::addHistoryEntry(int32_t object, const std::string& name)
{
    int32_t id = nextId++;
    if (entityNames.size() <= static_cast<size_t>(id)) {
        entityNames.resize(static_cast<size_t>(id) + 1);
        entityObjects.resize(static_cast<size_t>(id) + 1);
    }
    entityNames[static_cast<size_t>(id)] = name;
    entityObjects[static_cast<size_t>(id)] = object;
    objects.at(object).history.push_back(id);
    return id;
}

bool Document::nameHeldBesides(int32_t id, const std::string& name) const
{
    for (int32_t other : objects.at(entityObjects.at(static_cast<size_t>(id))).history)
        if (other != id && *entityNames[static_cast<size_t>(other)] == name)
            return true;
    return false;
}

int32_t Document::addComponent(int32_t parent, int32_t child)
{
    int32_t id = nextId++;
    occurrences[id] = {parent, child};
    objects.at(parent).occurrences.push_back(id);
    return id;
}

std::vector<int32_t> Document::children(int32_t object) const
{
    std::vector<int32_t> children;
    for (int32_t occurrence : objects.at(object).occurrences)
        children.push_back(occurrences.at(occurrence).child);
    return children;
}

int32_t Document::resolve(const EntityPath& path) const
{
    int length = usedLength(path);
    if (length == 0 || root == 0 || path.ids[0] != root)
        return 0;
    int32_t current = root;
    for (int i = 1; i < length; ++i) {
        auto occurrence = occurrences.find(path.ids[i]);
        if (occurrence == occurrences.end() || occurrence->second.parent != current)
            return 0;
        current = occurrence->second.child;
    }
    return current;
}

std::string Document::describe(const EntityPath& path) const
{
    if (resolve(path) == 0)
        return "?";
    std::string text = "/" + objects.at(root).name;
    int length = usedLength(path);
    for (int i = 1; i < length; ++i)
        text += "/" + objects.at(occurrences.at(path.ids[i]).child).name;
    return text;
}

std::vector<EntityPath> Document::componentPaths(const EntityPath& path) const
{
    EntityPath base{};
    base.count = usedLength(path);
    std::copy(path.ids, path.ids + base.count, base.ids);
    const std::vector<int32_t>& inside = objects.at(resolve(path)).occurrences;
    std::vector<EntityPath> listed;
    listed.reserve(inside.size());
    for (int32_t occurrence : inside) {
        EntityPath child = base;
        if (child.count < ENTITY_PATH_MAX_IDS)
            child.ids[child.count++] = occurrence;
        listed.push_back(child);
    }
    return listed;
}

} // namespace ostrelsim
