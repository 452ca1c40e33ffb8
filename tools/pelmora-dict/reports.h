// How pelmora-dict shows what it found: as text for people, or as one JSON
// document for programs (the shapes are in --help and the README).
#pragma once

#include "cell_dump.h"
#include "check_analysis.h"
#include "name_preview.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

// What a preview was run with.
struct PreviewContext {
    std::string workbook;    // the workbook's name, for people
    const LoadRecord& load;
    std::string codePage;    // the code page names are taken in
    std::string direction;   // "swap", "chinese" or "english"
};

void printCheckText(const CheckReport& report, const std::string& workbook);
nlohmann::ordered_json checkJson(const CheckReport& report, const std::string& workbook);

void printPreviewText(const PreviewContext& context, const std::vector<NamePreview>& previews);
nlohmann::ordered_json previewJson(const PreviewContext& context, const std::vector<NamePreview>& previews);

void printDumpText(const SheetDump& dump, const std::string& workbook);
nlohmann::ordered_json dumpJson(const SheetDump& dump, const std::string& workbook);
