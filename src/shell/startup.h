// Start-up and shut-down of the module: fill the dictionary from the workbook
// beside the module's file, register the commands; unregister them at the end.
#pragma once

#include "host_api.h"

#include <string>
#include <string_view>

inline constexpr char kCommandName[] = "PelmoraSwap";
inline constexpr char kToChineseCommandName[] = "PelmoraToChinese";
inline constexpr char kToEnglishCommandName[] = "PelmoraToEnglish";

// What runs each command.
struct CommandHandlers {
    HostCommandHandler swap;
    HostCommandHandler toChinese;
    HostCommandHandler toEnglish;
    HostCommandHandler report;
};
inline constexpr char16_t kWorkbookFileName[] = u"PelmoraConfig.xlsx";

// The workbook's path for a module at `modulePath`: the module's directory
// (everything before the last separator, or the whole path when it has none),
// one separator, and the workbook's file name.
std::u16string workbookPathBeside(std::u16string_view modulePath);

// Loads the dictionary and registers the four commands, PelmoraSwap first
// and PelmoraReport last, whatever became of the workbook. Returns 0.
int startModule(const CommandHandlers& handlers);
// Unregisters the commands; the dictionary keeps its entries. Returns 0.
int stopModule();
