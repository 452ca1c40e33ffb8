// The renaming commands: the walk, a translation pass for each part, the
// replay, and the one message about names the code page cannot hold.
#include "command.h"

#include "history_pass.h"
#include "messages.h"
#include "text.h"

namespace {

constexpr int32_t kReplayStatus = 3;
constexpr char kReplayCommand[] = "$CdPlayAutoHist";

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
    RunMemory run;
    walkAssembly([&](const EntityPath&, int) { translateActivePart(rule, run); });

    int32_t savedStatus = 0;
    hostGetUserActionStatus(&savedStatus);
    hostSetUserActionStatus(kReplayStatus);
    hostSendCommand(kReplayCommand);
    hostSetUserActionStatus(savedStatus);
    reportNamesNotWritable(run.namesNotWritable());
    reportNamesTaken(run.namesTaken());
    return 0;
}
