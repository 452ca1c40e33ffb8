// The module over the life of a host process that stays up for days: loaded,
// started, run, stopped and unloaded a thousand times; its commands run ten
// thousand times without unloading; run from threads other than the one that
// started it. The process's memory (and, on Windows, its handles) must stay
// within a small bound once the first rounds have warmed what the runtime
// keeps for good, and an unloaded module must be gone from the process.
#include "code_page.h"
#include "plugin_module.h"
#include "program_folder.h"
#include "sim_test.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <thread>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <dlfcn.h>
#  include <malloc.h>
#endif

namespace {

namespace sim = ostrelsim;
namespace fs = std::filesystem;

struct Usage {
    double kib = 0;   // memory the process holds for itself
    long handles = 0; // Windows only
};

Usage usageNow()
{
    Usage usage;
#if defined(_WIN32)
    // The committed private memory, region by region: what a leak of heap or
    // of a runtime's own blocks adds to, and what Wine reports as well as
    // Windows does.
    size_t committed = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* address = nullptr;
         VirtualQuery(address, &region, sizeof region) == sizeof region;
         address = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            committed += region.RegionSize;
    }
    usage.kib = static_cast<double>(committed) / 1024;
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    usage.handles = static_cast<long>(handles);
#else
    // The heap in use says more about a leak than the resident size, which
    // the allocator's caching blurs.
    const struct mallinfo2 heap = mallinfo2();
    usage.kib = static_cast<double>(heap.uordblks + heap.hblkhd) / 1024;
#endif
    return usage;
}

void printUsage(const char* what, int round, const Usage& usage)
{
    std::printf("%s, after round %5d: %10.1f KiB", what, round, usage.kib);
#if defined(_WIN32)
    std::printf(", %ld handles", usage.handles);
#endif
    std::printf("\n");
}

// A small assembly in English with a part used twice.
int32_t buildAssembly()
{
    int32_t root = addPart("Gearbox", {"Sketch1", "Extrude1_Sketch", "Default CSYS", "Bracket7"});
    int32_t shaft = addPart("Shaft", {"Revolve2", "Fillet4", "Chamfer3"});
    int32_t key = addPart("Key", {"Extrude5_Sketch", "Default CSYS"});
    sim::addComponent(root, shaft);
    sim::addComponent(shaft, key);
    sim::addComponent(root, key);
    return root;
}

std::vector<std::vector<std::string>> allNames()
{
    std::vector<std::vector<std::string>> names;
    for (int32_t object : sim::objects())
        names.push_back(historyNames(object));
    return names;
}

const fs::path kModule = testProgramFolder() / PELMORA_MODULE_FILE_NAME;

bool moduleStillLoaded()
{
#if defined(_WIN32)
    return GetModuleHandleW(kModule.wstring().c_str()) != nullptr;
#else
    void* handle = dlopen(kModule.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
#endif
}

// The growth allowed once the first ten rounds are done: room for the
// allocator's own bookkeeping, far below a leak of even 1 KiB a round.
constexpr double kAllowedGrowthKib = 512;
constexpr long kAllowedHandleGrowth = 8;

class LongLife : public SimTest {};

TEST_F(LongLife, LoadedAndUnloadedAThousandTimes)
{
    // In the Chinese setting where it can be had, so that the names change.
    CodePageScope chinese(936);
    Usage afterTen;
    for (int round = 1; round <= 1000; ++round) {
        sim::reset();
        buildAssembly();
        const std::vector<std::vector<std::string>> before = allNames();
        {
            ostrelsim::PluginModule module(kModule);
            ASSERT_TRUE(module.loaded());
            ASSERT_EQ(module.entry("PelmoraInit")(), 0);
            ASSERT_TRUE(sim::runCommand("PelmoraSwap"));
            ASSERT_TRUE(sim::runCommand("PelmoraSwap"));
            ASSERT_EQ(allNames(), before) << "round " << round;
            ASSERT_EQ(module.entry("PelmoraExit")(), 0);
        }
        ASSERT_FALSE(moduleStillLoaded()) << "round " << round << ": unloading left the module mapped";
        const Usage usage = usageNow();
        if (round == 1 || round == 10 || round == 100 || round == 1000)
            printUsage("load and unload", round, usage);
        if (round == 10)
            afterTen = usage;
        if (round > 10) {
            ASSERT_LT(usage.kib - afterTen.kib, kAllowedGrowthKib) << "round " << round;
            ASSERT_LT(usage.handles - afterTen.handles, kAllowedHandleGrowth) << "round " << round;
        }
    }
}

TEST_F(LongLife, EachCommandRunTenThousandTimes)
{
    CodePageScope chinese(936);
    ostrelsim::PluginModule module(kModule);
    ASSERT_TRUE(module.loaded());
    ASSERT_EQ(module.entry("PelmoraInit")(), 0);
    buildAssembly();
    const std::vector<std::vector<std::string>> first = allNames();
    for (const char* command : {"PelmoraSwap", "PelmoraToChinese", "PelmoraToEnglish"}) {
        Usage afterTen;
        std::vector<std::vector<std::string>> afterFirst;
        for (int run = 1; run <= 10000; ++run) {
            ASSERT_TRUE(sim::runCommand(command));
            if (run == 1)
                afterFirst = allNames();
            // The simulated host records every call; a real host does not.
            sim::clearRecords();
            if (run == 10)
                afterTen = usageNow();
            if (run % 1000 == 0) {
                const Usage usage = usageNow();
                ASSERT_LT(usage.kib - afterTen.kib, kAllowedGrowthKib) << command << " run " << run;
                ASSERT_LT(usage.handles - afterTen.handles, kAllowedHandleGrowth) << command << " run " << run;
            }
        }
        printUsage(command, 10000, usageNow());
        // An even number of swaps gives the first names back; the other
        // commands give what their first run gave, and PelmoraToEnglish
        // brings the model back to its English names.
        EXPECT_EQ(allNames(), command == std::string("PelmoraToChinese") ? afterFirst : first) << command;
    }
    EXPECT_EQ(module.entry("PelmoraExit")(), 0);
}

TEST_F(LongLife, RunFromThreadsOtherThanTheOneThatStartedIt)
{
    IN_CODE_PAGE(936);
    ostrelsim::PluginModule module(kModule);
    ASSERT_TRUE(module.loaded());
    ASSERT_EQ(module.entry("PelmoraInit")(), 0);
    buildAssembly();
    const std::vector<std::vector<std::string>> first = allNames();
    std::vector<std::vector<std::string>> swapped;
    std::thread([&] {
        sim::runCommand("PelmoraSwap");
        swapped = allNames();
    }).join();
    EXPECT_NE(swapped, first);
    // One after the other, as a host hands its commands to worker threads.
    for (int i = 0; i < 9; ++i)
        std::thread([] { sim::runCommand("PelmoraSwap"); }).join();
    EXPECT_EQ(allNames(), first);
    std::thread([] { sim::runCommand("PelmoraToChinese"); }).join();
    EXPECT_EQ(allNames(), swapped);
    std::thread([&] { EXPECT_EQ(module.entry("PelmoraExit")(), 0); }).join();
}

} // namespace
