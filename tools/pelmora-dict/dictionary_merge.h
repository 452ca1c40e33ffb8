// The analysis behind `pelmora-dict merge`: which pairs of a filled-in
// workbook (a report's "Missing terms" sheet, or any dictionary workbook)
// a dictionary workbook lacks, which it has already, and which would harm it
// (a term that it maps to another counterpart, a pair that `check` would
// warn about); and the dictionary workbook with the new pairs added as rows
// just before its end marker. Rows count from 0.
#pragma once

#include "check_analysis.h"
#include "common/load_error.h"

#include <string>
#include <string_view>
#include <vector>

struct MergePair {
    int row;              // in the filled-in workbook
    std::u16string first; // column A
    std::u16string second;
};

// A pair that is left out, with why.
struct MergeOutcome {
    MergePair pair;
    std::string code;     // stable: "already-there", "repeated", "conflict", ...
    std::string why;      // UTF-8, for people
};

struct MergePlan {
    LoadRecord config;    // the dictionary workbook as the plug-in reads it
    LoadRecord filled;    // the filled-in workbook
    std::vector<MergePair> added;
    std::vector<MergeOutcome> skipped;  // nothing to do: the pair is there
    std::vector<MergeOutcome> refused;  // would harm the dictionary: listed, not added

    // The row before which the pairs go: the dictionary's end marker.
    int insertBefore() const { return config.read.endRow; }
};

// Reads both workbooks with the plug-in's loader and decides, pair by pair
// in the filled-in workbook's order, what to do. The dictionary must have
// both markers (the caller checks config.read.status).
MergePlan planMerge(xl::Book& config, xl::Book& filled);

// The dictionary workbook's bytes (.xlsx) with the plan's pairs added.
// Throws xl::LoadError when the sheet holds what cannot move with its rows.
std::string mergedWorkbook(std::string_view configBytes, const MergePlan& plan);

// Whether `merged` loads with the dictionary's pairs followed by the added
// ones, in that order; what differs, in words, when not.
std::string verifyMerged(std::string_view merged, const MergePlan& plan);
