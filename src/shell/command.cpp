// The renaming commands: the walk, a translation pass for each part, the
// replay, and a message for each reason names were left as they were.
#include "command.h"

#include "history_pass.h"
#include "messages.h"
#include "text.h"

#include <string>

namespace {

constexpr int32_t kReplayStatus = 3;
constexpr char kReplayCommand[] = "$CdPlayAutoHist";

// "Pelmora: 1 name left unchanged: <why one>." or "Pelmora: N names left
// unchanged: <why many>.", when any was left; ASCII, as every code page holds it.
void reportNamesLeft(size_t count, const std::string& whyOne, const std::string& whyMany)
{
    if (count == 0)
        return;
    showText(4, count == 1 ? "Pelmora: 1 name left unchanged: " + whyOne + "."
                           : "Pelmora: " + std::to_string(count) + " names left unchanged: " + whyMany + ".");
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
    reportNamesLeft(run.namesNotWritable(), "its counterpart cannot be written in " + systemCodePageName(),
                    "their counterparts cannot be written in " + systemCodePageName());
    reportNamesLeft(run.namesTaken(), "another entry of the part holds the new name",
                    "another entry of the part holds the new name");
    return 0;
}
