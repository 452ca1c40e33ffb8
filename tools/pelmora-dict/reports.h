// How pelmora-dict shows what it found: as text for people, or as one JSON
// document for programs (the shapes are in --help and the README).
#pragma once

#include "cell_dump.h"
#include "check_analysis.h"
#include "dictionary_merge.h"
#include "name_preview.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

// The number of the JSON documents' shape, raised whenever a field goes away
// or changes its meaning.
inline constexpr int kJsonSchema = 2;

// What every JSON document begins with; an empty command or workbook is null.
struct DocumentHead {
    std::string command;
    std::string workbook;
};

// A document: the head, then "error" (null, or what jsonError makes when the
// command could not do its work), then the fields of `body`.
nlohmann::ordered_json jsonDocument(const DocumentHead& head, const nlohmann::ordered_json& error,
                                    const nlohmann::ordered_json& body);
nlohmann::ordered_json jsonError(const std::string& code, const std::string& message);
// A document as the program writes it: indented, UTF-8, ending in a newline.
std::string documentText(const nlohmann::ordered_json& document);

// What a preview was run with.
struct PreviewContext {
    std::string workbook;    // the workbook's name, for people
    const LoadRecord& load;
    std::string codePage;    // the code page names are taken in
    std::string direction;   // "swap", "chinese" or "english"
};

// The texts are UTF-8, one line after another.
std::string checkText(const CheckReport& report, const std::string& workbook);
nlohmann::ordered_json checkJson(const CheckReport& report);

// A preview is written in pieces as the names come, so that the list's length
// does not count against memory: the head, each name, and the end.
std::string previewTextHead(const PreviewContext& context);
std::string previewTextName(const NamePreview& name);
// The JSON document through "names": [, one element (after a comma unless
// it is the first), and from "]" to the end; `interruption` is null or the
// error that stopped the reading of the names, as "interrupted".
std::string previewJsonHead(const DocumentHead& head, const PreviewContext& context);
std::string previewJsonName(const NamePreview& name, bool first);
std::string previewJsonEnd(bool anyNames, const nlohmann::ordered_json& interruption);

// What a merge was run with.
struct MergeContext {
    std::string config;      // the files' names, for people
    std::string filled;
    std::string out;
    bool written;            // false when there was nothing to add
};

std::string mergeText(const MergeContext& context, const MergePlan& plan);
nlohmann::ordered_json mergeJson(const MergeContext& context, const MergePlan& plan);

std::string dumpText(const SheetDump& dump, const std::string& workbook);
nlohmann::ordered_json dumpJson(const SheetDump& dump);

// `value` in the fewest digits that read back as exactly `value`.
std::string shortestNumber(double value);
