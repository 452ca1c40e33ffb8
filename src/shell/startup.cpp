// Start-up and shut-down. The module's directory is taken from its wide path,
// so that characters the ANSI code page cannot hold, or a double-byte
// character whose second byte looks like a separator, do not lose the way to
// the workbook.
#include "startup.h"

#include "module_file.h"
#include "report_command.h"
#include "shared_dictionary.h"
#include "workbook_loader.h"

#include <exception>

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
    // The commands are registered whatever became of the dictionary: without
    // it they still turn the coordinate system's names, and a host that
    // cannot find a command tells the user less than an empty dictionary does.
    try {
        loadDictionary(workbookPathBeside(ownModulePath()), kStartMarker, kEndMarker);
    } catch (const std::exception&) {
    }
    hostRegisterCommand(kCommandName, handlers.swap, 0.0);
    hostRegisterCommand(kToChineseCommandName, handlers.toChinese, 0.0);
    hostRegisterCommand(kToEnglishCommandName, handlers.toEnglish, 0.0);
    hostRegisterCommand(kReportCommandName, handlers.report, 0.0);
    return 0;
}

int stopModule()
{
    hostUnregisterCommand(kCommandName);
    hostUnregisterCommand(kToChineseCommandName);
    hostUnregisterCommand(kToEnglishCommandName);
    hostUnregisterCommand(kReportCommandName);
    return 0;
}
