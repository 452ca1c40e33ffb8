// The analysis behind `pelmora-dict check`: what the plug-in's loader makes of
// a dictionary workbook, and what in it would surprise the person who keeps
// it (markers that nearly match, rows skipped, terms entered twice, chains,
// terms that no history name can hold). Rows and columns count from 0. Each
// finding is said twice: in a sentence for people and in a stable code
// ("marker-near-miss") for programs.
#pragma once

#include "term_dictionary.h"
#include "workbook_loader.h"

#include <string>
#include <utility>
#include <vector>

// Everything the loader reports, kept in order.
struct LoadRecord : LoadObserver {
    struct Pair {
        int row;
        std::u16string first;
        std::u16string second;
        bool entered;
    };
    struct Number {
        int row;
        int col;
        double value;
        std::u16string text;
    };

    void markerCandidate(int row, const std::u16string& text) override { candidates.emplace_back(row, text); }
    void numberCell(int row, int col, double value, const std::u16string& text) override
    {
        numbers.push_back({row, col, value, text});
    }
    void pairRow(int row, const std::u16string& first, const std::u16string& second, bool entered) override
    {
        pairs.push_back({row, first, second, entered});
    }

    bool hasSheet() const { return read.status != WorkbookStatus::NoSheet; }

    WorkbookRead read;
    std::vector<std::pair<int, std::u16string>> candidates;
    std::vector<Number> numbers;
    std::vector<Pair> pairs;
};

struct NearMiss {
    std::u16string marker;
    int row;
    std::u16string text;
    std::string code;
    std::string why;
};

struct Conflict {
    std::u16string term;
    std::vector<std::pair<int, std::u16string>> counterparts;   // row, counterpart, in the order entered
    std::u16string wins;
};

struct Chain {
    std::u16string term, counterpart, then;
};

struct Unmatchable {
    int row;
    int col;
    std::u16string term;
    std::string code;
    std::string why;
};

// A term that stands in column A of one entered row and column B of another
// (or of the same row): the commands toward one language keep it as it is.
struct InBothColumns {
    std::u16string term;
    int rowA;
    int rowB;
};

struct SkippedRow {
    int row;
    int emptyCol;
};

struct Warning {
    std::string code;
    std::string text;   // UTF-8
};

struct CheckReport {
    LoadRecord load;
    TermDictionary dictionary;
    std::vector<NearMiss> nearMisses;
    int blankRows = 0;
    std::vector<SkippedRow> skipped;
    std::vector<Conflict> conflicts;
    std::vector<Chain> chains;
    std::vector<Unmatchable> unmatchable;
    std::vector<InBothColumns> inBothColumns;
    // Chinese characters in column A and none in column B: the commands
    // toward one language would run backwards.
    bool columnsReversed = false;
    std::vector<Warning> warnings;

    bool loads() const { return load.read.hasRegion(); }
};

// A reason in its code and its words.
struct Reason {
    const char* code;
    std::string why;
};

// Why a history name can never hold `term` where the naming rule looks for
// it; none when it can. The code "unwritable" says that the system's code
// page cannot hold it, which depends on the machine rather than the term.
std::vector<Reason> unmatchableReasons(const std::u16string& term);

// Reads the open workbook `book` as the plug-in does and explains it.
CheckReport checkWorkbook(xl::Book& book);
