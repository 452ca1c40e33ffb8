// The loader and start-up when memory runs out: every allocation in turn
// fails, once, while a small workbook of each format is read. Nothing may
// crash or leak (the sanitizer build checks that), a failure must never be
// reported as a load, and the commands are registered whatever the loader met.
#include "dictionary_workbooks.h"
#include "module_file.h"
#include "shared_dictionary.h"
#include "sim_test.h"
#include "startup.h"
#include "temp_file.h"
#include "workbook_loader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// How many allocations to let through before one fails; below 0, none fails.
std::atomic<long> allocationsBeforeFailure{-1};
std::atomic<bool> failed{false};
std::atomic<long> counted{0};

void* allocate(size_t size)
{
    counted.fetch_add(1, std::memory_order_relaxed);
    if (allocationsBeforeFailure.load(std::memory_order_relaxed) >= 0 &&
        allocationsBeforeFailure.fetch_sub(1, std::memory_order_relaxed) == 0) {
        failed = true;
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

} // namespace

void* operator new(size_t size) { return allocate(size); }
void* operator new[](size_t size) { return allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, size_t) noexcept { std::free(memory); }
// The forms that answer null rather than throw (std::stable_sort's buffer
// takes one), so that every allocation comes from, and goes back to, here.
void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

namespace {

// Runs `work` with allocation number `nth` (from 0) failing; says whether it did.
template <typename Work>
bool withAllocationFailing(long nth, Work&& work)
{
    failed = false;
    allocationsBeforeFailure = nth;
    work();
    allocationsBeforeFailure = -1;
    return failed;
}

template <typename Work>
long allocationsOf(Work&& work)
{
    counted = 0;
    work();
    return counted;
}

struct Format {
    const char* fileName;
    std::string (*bytes)();
};

class AllocationFailure : public ::testing::TestWithParam<Format> {};

TEST_P(AllocationFailure, TheLoaderReportsNotLoadedAndKeepsNoHalfDictionary)
{
    const fixture::TempFile file(GetParam().bytes(), GetParam().fileName);
    auto read = [&](TermDictionary& dictionary, TermColumns& columns) {
        return readDictionaryWorkbook(dictionary, file.path(), kStartMarker, kEndMarker, nullptr, &columns);
    };
    TermDictionary whole;
    TermColumns wholeColumns(whole);
    ASSERT_TRUE(read(whole, wholeColumns).loaded());
    const size_t terms = whole.size();

    long nth = 0;
    for (;; ++nth) {
        TermDictionary dictionary;
        TermColumns columns(dictionary);
        WorkbookRead result;
        if (!withAllocationFailing(nth, [&] { result = read(dictionary, columns); }))
            break;
        SCOPED_TRACE("allocation " + std::to_string(nth) + " failing");
        // Either the failure did no harm, or nothing was entered at all.
        if (result.loaded()) {
            EXPECT_EQ(dictionary.size(), terms);
        } else {
            EXPECT_EQ(result.status, WorkbookStatus::NotOpened);
            EXPECT_EQ(dictionary.size(), 0u);
            EXPECT_EQ(columns.of(u"Cut"), 0);
        }
    }
    EXPECT_GT(nth, 20) << "a load makes more allocations than that";
}

INSTANTIATE_TEST_SUITE_P(Formats, AllocationFailure,
                         ::testing::Values(Format{"dictionary.xlsx", &dictionaryAsXlsx},
                                           Format{"dictionary.xls", &dictionaryAsXls}),
                         [](const auto& info) { return std::string(info.index == 0 ? "xlsx" : "xls"); });

class StartupWithoutMemory : public SimTest {};

// Start-up's own steps before it registers anything: finding the workbook
// and loading it. Memory running out in any of them still ends with the
// three commands registered.
TEST_F(StartupWithoutMemory, RegistersTheCommandsWhateverTheLoaderMet)
{
    // Counted in the state every round starts from, and after a first
    // start-up has made what is made the first time only (a codec, the host's
    // records), so that the count is what start-up takes before it registers.
    auto freshStart = [] {
        ostrelsim::reset();
        sharedTermDictionary() = TermDictionary();
    };
    auto findAndLoad = [] { loadDictionary(workbookPathBeside(ownModulePath()), kStartMarker, kEndMarker); };
    freshStart();
    findAndLoad();
    freshStart();
    const long beforeRegistering = allocationsOf(findAndLoad);
    ASSERT_GT(beforeRegistering, 0);
    int32_t (*const handler)() = [] { return int32_t{0}; };
    for (long nth = 0; nth < beforeRegistering; ++nth) {
        SCOPED_TRACE("allocation " + std::to_string(nth) + " failing");
        freshStart();
        withAllocationFailing(nth, [&] { EXPECT_EQ(startModule({handler, handler, handler, handler}), 0); });
        EXPECT_EQ(ostrelsim::registeredCommands().size(), 4u);
        EXPECT_EQ(stopModule(), 0);
    }
}

} // namespace
