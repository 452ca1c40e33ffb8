// The command's walk over the assembly. Every activation is undone before the
// next one is made, so the host's active object is the user's again between
// the steps and after the run. The only status looked at is the activation's:
// when the host refuses to make an object active, the work meant for that
// object is not done on whatever else is active (that would swap another
// part's names back, or list another object's components under this one and
// never end); the walk goes on with the next object.
#include "command.h"

#include "history_pass.h"
#include "host_array.h"
#include "messages.h"
#include "text.h"

#include <memory>
#include <vector>

namespace {

constexpr int32_t kReplayStatus = 3;
constexpr char kReplayCommand[] = "$CdPlayAutoHist";

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

// What every pass of one run shares.
struct Walk {
    const NamingRule& rule;
    RunMemory run;
};

// Translates the components of the object at `path`, which lies at `level`,
// and their components in turn, depth-first in list order.
void translateComponents(const EntityPath& path, Walk& walk, int level)
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
        withActive(component, records->component, [&] { translateActivePart(walk.rule, walk.run); });
        translateComponents(component, walk, level + 1);
    }
}

void reportNamesNotWritable(int count)
{
    if (count == 1)
        displayFormatted(4, "Pelmora: 1 name left unchanged: its counterpart cannot be written in %s.",
                         systemCodePageName().c_str());
    else if (count > 1)
        displayFormatted(4, "Pelmora: %d names left unchanged: their counterparts cannot be written in %s.", count,
                         systemCodePageName().c_str());
}

void reportNamesTaken(size_t count)
{
    if (count == 1)
        displayFormatted(4, "Pelmora: 1 name left unchanged: another entry of the part holds the new name.");
    else if (count > 1)
        displayFormatted(4, "Pelmora: %d names left unchanged: another entry of the part holds the new name.", static_cast<int>(count));
}

} // namespace

int runTranslateCommand(const NamingRule& rule)
{
    auto root = std::make_unique<EntityPath>();
    root->count = 1;
    root->ids[0] = -1;
    hostPathToRoot(root.get());
    root->count = 2;

    Walk walk{rule, {}};
    auto previous = std::make_unique<EntityPath>();
    withActive(*root, *previous, [&] { translateActivePart(rule, walk.run); });
    translateComponents(*root, walk, 1);

    int32_t savedStatus = 0;
    hostGetUserActionStatus(&savedStatus);
    hostSetUserActionStatus(kReplayStatus);
    hostSendCommand(kReplayCommand);
    hostSetUserActionStatus(savedStatus);
    reportNamesNotWritable(walk.run.namesNotWritable());
    reportNamesTaken(walk.run.namesTaken());
    return 0;
}
