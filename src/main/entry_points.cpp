// The host boundary of the module: start-up, shut-down and the command
// handlers, each a thin call into the shell that keeps exceptions inside. The
// handlers of the commands toward one language and of the report are not
// exported: the host reaches them through their registration only.
#include "exports.h"

#include "command.h"
#include "host_entry.h"
#include "module_file.h"
#include "report_command.h"
#include "shared_dictionary.h"
#include "startup.h"

namespace {

int32_t runToward(Direction direction)
{
    return runForHost([direction] {
        runTranslateCommand(NamingRule(sharedTermColumns(), direction));
    });
}

int32_t toChinese() { return runToward(Direction::ToColumnB); }
int32_t toEnglish() { return runToward(Direction::ToColumnA); }

int32_t report()
{
    return runForHost([] { runReportCommand(sharedTermColumns(), workbookPathBeside(ownModulePath())); });
}

} // namespace

extern "C" {

int32_t PelmoraInit(void)
{
    return runForHost([] { startModule({&do_it, &toChinese, &toEnglish, &report}); });
}

int32_t PelmoraExit(void)
{
    return runForHost([] { stopModule(); });
}

int32_t do_it(void)
{
    return runForHost([] { runTranslateCommand(sharedTermDictionary()); });
}

} // extern "C"
