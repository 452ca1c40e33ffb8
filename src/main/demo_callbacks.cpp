// Demonstration callbacks for the host's form system: they show what the
// form's data holds, and report a host call that fails with report_error's
// three lines, then carry on.
#include "exports.h"

#include "host_entry.h"
#include "host_api.h"
#include "messages.h"

#include <cstring>

// Makes a host call and reports it when it fails, with the line and the text
// of the call as this file writes them.
#define REPORT_ON_FAILURE(call) report_error(__FILE__, __LINE__, #call, (call))

namespace {

constexpr int32_t FIELD_ENT_LIST = 1;

} // namespace

extern "C" {

int32_t optFormDemo(int32_t idData, int32_t, void*)
{
    return runForHost([&] {
        int32_t nEnts = 0;
        int32_t* idEnts = nullptr;
        hostDataGetEntities(idData, FIELD_ENT_LIST, &nEnts, &idEnts);
        Ostrel_Editor::instance().printAtLevel4("count = %d", nEnts);
        hostFreeMemory(&idEnts);
    });
}

int32_t optBtnCallbackDemo(int32_t, int32_t, int32_t idData)
{
    return runForHost([&] {
        int32_t nEnts = 0;
        int32_t* idEnts = nullptr;
        REPORT_ON_FAILURE(hostDataGetEntities(idData, FIELD_ENT_LIST, &nEnts, &idEnts));
        Ostrel_Editor::instance().printAtLevel4("count = %d", nEnts);
        hostFreeMemory(&idEnts);
    });
}

int32_t ShowGuiFormDemo(int32_t, void*)
{
    return runForHost([] {
        char form[32];
        std::memset(form, 0, sizeof form);
        std::strcpy(form, "guiForm");
        REPORT_ON_FAILURE(hostCreateForm(form, 0));
        hostShowForm(form);
        Ostrel_Editor::instance().printAtLevel3("show gui");
    });
}

} // extern "C"
