// Start-up and shut-down. The module's directory is taken from its wide path,
// so that characters the ANSI code page cannot hold, or a double-byte
// character whose second byte looks like a separator, do not lose the way to
// the workbook.
#include "startup.h"

#include "module_file.h"
#include "shared_dictionary.h"
#include "workbook_loader.h"

std::u16string workbookPathBeside(std::u16string_view modulePath)
{
    size_t separator = modulePath.find_last_of(kPathSeparator);
    std::u16string path(separator == std::u16string_view::npos ? modulePath : modulePath.substr(0, separator));
    path += kPathSeparator;
    path += kWorkbookFileName;
    return path;
}

int startModule(const CommandHandlers& handlers)
{
    loadDictionary(workbookPathBeside(ownModulePath()), kStartMarker, kEndMarker);
    hostRegisterCommand(kCommandName, handlers.swap, 0.0);
    hostRegisterCommand(kToChineseCommandName, handlers.toChinese, 0.0);
    hostRegisterCommand(kToEnglishCommandName, handlers.toEnglish, 0.0);
    return 0;
}

int stopModule()
{
    hostUnregisterCommand(kCommandName);
    hostUnregisterCommand(kToChineseCommandName);
    hostUnregisterCommand(kToEnglishCommandName);
    return 0;
}
