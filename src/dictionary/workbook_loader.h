// Fills a TermDictionary from the dictionary workbook: the first sheet holds,
// between a row whose column A is the start marker and a row whose column A is
// the end marker, rows of two cells, a term and its counterpart.
#pragma once

#include "term_dictionary.h"
#include "xlbook.h"

#include <string>

// What a load came across, for tools that explain a workbook. Every method
// has an empty default.
class LoadObserver {
public:
    virtual ~LoadObserver() = default;
    // The workbook could not be opened: no book, or it did not load.
    virtual void openFailed(const char* /*reason*/) {}
    virtual void noFirstSheet() {}
    // Column A of the start-marker search, row by row, as read.
    virtual void markerCandidate(int /*row*/, const char16_t* /*text*/) {}
    virtual void startMarkerFound(int /*row*/) {}
    virtual void startMarkerMissing() {}
    // A number cell of a pair row and the text it reads as.
    virtual void numberCell(int /*row*/, int /*col*/, double /*value*/, const std::u16string& /*text*/) {}
    // A pair row; `entered` is false when a cell was empty and the row skipped.
    virtual void pairRow(int /*row*/, const std::u16string& /*first*/, const std::u16string& /*second*/,
                         bool /*entered*/) {}
    virtual void endMarkerFound(int /*row*/) {}
    // The sheet ended, after `rowsRead` rows, without an end marker.
    virtual void endMarkerMissing(int /*rowsRead*/) {}
};

// The rows in which the start marker is looked for: 0 to 100.
inline constexpr int kLastStartMarkerRow = 100;

// Loads the workbook at `path` into the process-wide dictionary; shows a
// message at level 5 when it cannot be opened. 1 when the region was read
// through its end marker, 0 otherwise.
int loadDictionary(std::u16string path, std::u16string startMarker, std::u16string endMarker);

// The same into `dictionary`, telling `observer` (when not null) what it finds.
int loadDictionaryInto(TermDictionary& dictionary, const std::u16string& path, const std::u16string& startMarker,
                       const std::u16string& endMarker, LoadObserver* observer = nullptr);

// A new book of the kind the path's extension asks for: the binary book for
// ".xls" in any mix of case, the XML book for anything else; null when none
// could be created. The caller releases it.
xl::Book* createBookFor(std::u16string_view path);

// The text of one cell: a number rendered with "%lf" and tidied, anything
// else as its string, or empty. Returns 1.
int readCellText(xl::Sheet* sheet, int row, int col, std::u16string& text, LoadObserver* observer = nullptr);

// Removes the trailing zeros of a number's fixed rendering, and the decimal
// point when nothing follows it: 12.500000 gives 12.5, 100.000000 gives 100.
std::u16string trimNumberText(std::u16string text);
