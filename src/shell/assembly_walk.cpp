// The walk: activations undone before the next one, listings copied while
// their object is active, one heap record per level. The only status looked
// at is the activation's: work done on whatever else is active would swap
// another part's names back, or list another object's components under this
// one and never end.
#include "assembly_walk.h"

#include "host_array.h"

#include <memory>
#include <vector>

namespace {

// Makes `path` active for the duration of `work`, then restores what was
// active. The restoring call is made also when the activation failed.
template <typename Work>
void withActive(const EntityPath& path, EntityPath& previous, Work&& work)
{
    previous = EntityPath{};
    if (hostActivateEntity(&path, 0, 0, &previous) == 0)
        work();
    hostActivateEntity(&previous, 0, 0, nullptr);
}

// The records of one level of the walk. They live on the heap so that a walk
// 400 levels deep fits the 1 MiB stack of a host thread.
struct LevelRecords {
    EntityPath listing;
    EntityPath component;
};

// Does the work for the components of the object at `path`, which lies at
// `level`, and their components in turn, depth-first in list order.
void walkComponents(const EntityPath& path, const ActivePartWork& work, int level, int& place)
{
    if (level >= kDeepestLevel)
        return;
    auto records = std::make_unique<LevelRecords>();
    std::vector<EntityPath> components;
    withActive(path, records->listing, [&] {
        HostArray<EntityPath> listed;
        hostListComponentPaths(0, 1, 1, listed.countOut(), listed.arrayOut());
        components.assign(listed.items().begin(), listed.items().end());
    });
    for (const EntityPath& component : components) {
        const int at = ++place;
        withActive(component, records->component, [&] { work(component, at); });
        walkComponents(component, work, level + 1, place);
    }
}

} // namespace

void walkAssembly(const ActivePartWork& work)
{
    auto root = std::make_unique<EntityPath>();
    root->count = 1;
    root->ids[0] = -1;
    hostPathToRoot(root.get());
    root->count = 2;

    int place = 1;
    auto previous = std::make_unique<EntityPath>();
    withActive(*root, *previous, [&] { work(*root, place); });
    walkComponents(*root, work, 1, place);
}
