// The module's entry points, as the host finds them by their plain names.
// None lets an exception out; each returns 0 to the host.
#pragma once

#include "export.h"

#include <cstdint>

extern "C" {

// Start-up: fills the dictionary from PelmoraConfig.xlsx beside the module
// and registers the commands PelmoraSwap, PelmoraToChinese, PelmoraToEnglish
// and PelmoraReport (the last three through handlers the host is handed, not
// found by name).
PELMORA_EXPORT int32_t PelmoraInit(void);
// Shut-down: unregisters the four commands.
PELMORA_EXPORT int32_t PelmoraExit(void);
// The handler of PelmoraSwap.
PELMORA_EXPORT int32_t do_it(void);

// Demonstration callbacks for the host's form system. Only the form data id
// (first argument of optFormDemo, third of optBtnCallbackDemo) is used.
PELMORA_EXPORT int32_t optFormDemo(int32_t idData, int32_t idField, void* context);
PELMORA_EXPORT int32_t optBtnCallbackDemo(int32_t idForm, int32_t idButton, int32_t idData);
PELMORA_EXPORT int32_t ShowGuiFormDemo(int32_t argument, void* context);

} // extern "C"
