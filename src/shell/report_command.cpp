// The report's run: the walk gathers each part's history once, the report
// is written, and the message says where, in a path that the host's code
// page holds exactly (never with '?' for what it cannot).
#include "report_command.h"

#include "assembly_walk.h"
#include "history_pass.h"
#include "messages.h"
#include "model_report.h"
#include "module_file.h"
#include "report_file.h"
#include "run_memory.h"
#include "text.h"

#include <ctime>
#include <exception>
#include <new>
#include <string>

#if defined(_WIN32)
#  include <windows.h>
#endif

namespace {

// A part for people: the host API names no part, so its place in the walk
// and, for a component, the ids of its path.
std::string partLabel(const EntityPath& path, int place)
{
    if (place == 1)
        return "part 1 (the active object)";
    std::string label = "part " + std::to_string(place) + " (path";
    for (int32_t i = 0; i < path.count && i < ENTITY_PATH_MAX_IDS; ++i)
        label += (i == 0 ? " " : "/") + std::to_string(path.ids[i]);
    return label + ")";
}

// The path as the host's code page holds it exactly; on Windows its short
// form when the long one does not fit; else nullopt.
std::optional<std::string> hostPath(const std::u16string& path)
{
    if (std::optional<std::string> exact = wideToNarrowExact(path))
        return exact;
#if defined(_WIN32)
    wchar_t shortPath[32768] = {};
    const DWORD length = GetShortPathNameW(reinterpret_cast<const wchar_t*>(path.c_str()), shortPath, 32768);
    if (length > 0 && length < 32768)
        return wideToNarrowExact(std::u16string(reinterpret_cast<const char16_t*>(shortPath), length));
#endif
    return std::nullopt;
}

std::u16string folderOf(std::u16string_view path)
{
    const size_t separator = path.find_last_of(kPathSeparator);
    return std::u16string(separator == std::u16string_view::npos ? std::u16string_view(u".")
                                                                 : path.substr(0, separator));
}

std::tm localNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return local;
}

} // namespace

int runReportCommand(const TermColumns& columns, std::u16string_view dictionaryPath)
{
    ModelReport::Counts counts;
    std::string bytes;
    try {
        ModelReport report(columns);
        RunMemory seen;
        walkAssembly([&](const EntityPath& path, int place) {
            const ActiveHistory history = readActiveHistory();
            const HistoryDigest digest = history.digest();
            if (seen.leftBehind(digest))
                return;
            seen.rememberLeftBehind(digest);
            report.addPart(partLabel(path, place), history.ids, history.names);
        });
        counts = report.counts();
        bytes = report.finish();
    } catch (const std::bad_alloc&) {
        showText(5, "Pelmora: the report could not be made: out of memory.");
        return 0;
    } catch (const std::exception& error) {
        showText(5, std::string("Pelmora: the report could not be made: ") + error.what() + ".");
        return 0;
    }

    const std::u16string stem = reportFileStem(localNow());
    const std::u16string folder = folderOf(dictionaryPath);
    NewFile written = writeNewFile(folder, stem, u".xlsx", bytes);
    const std::string besideError = written.error;
    const std::u16string temporary = temporaryFolder();
    if (!written.path && !temporary.empty())
        written = writeNewFile(temporary, stem, u".xlsx", bytes);
    if (!written.path) {
        showText(5, "Pelmora: the report could not be written: beside the dictionary workbook, " + besideError +
                        "; in the temporary folder, " + (temporary.empty() ? "there is none" : written.error) + ".");
        return 0;
    }
    const std::optional<std::string> where = hostPath(*written.path);
    const std::string shown = where ? *where
                                    : wideToNarrow(stem) + ".xlsx in " +
                                          (written.path->starts_with(folder) ? "the dictionary workbook's folder"
                                                                             : "the temporary folder") +
                                          " (its path cannot be shown in " + systemCodePageName() + ")";
    const auto number = [](size_t value) { return std::to_string(value); };
    const auto counted = [](size_t value, const char* one, const char* many) {
        return std::to_string(value) + " " + (value == 1 ? one : many);
    };
    showText(4, "Pelmora report: PelmoraSwap would change " + counted(counts.changes[0], "name", "names") +
                    ", PelmoraToChinese " + number(counts.changes[1]) + ", PelmoraToEnglish " +
                    number(counts.changes[2]) + " (of " + number(counts.entries) + " in " +
                    counted(counts.parts, "part", "parts") + "); the dictionary lacks " +
                    counted(counts.missingTerms, "term", "terms") + ". Written to " + shown);
    return 0;
}
