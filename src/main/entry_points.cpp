// The host boundary of the module: start-up, shut-down and the command
// handler, each a thin call into the shell that keeps exceptions inside.
#include "exports.h"

#include "command.h"
#include "guarded.h"
#include "shared_dictionary.h"
#include "startup.h"

extern "C" {

int32_t PelmoraInit(void)
{
    return guarded([] { startModule(&do_it); });
}

int32_t PelmoraExit(void)
{
    return guarded([] { stopModule(); });
}

int32_t do_it(void)
{
    return guarded([] { runTranslateCommand(sharedTermDictionary()); });
}

} // extern "C"
