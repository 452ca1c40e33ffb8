// Reads a dictionary workbook into a TermDictionary: the first sheet holds,
// between a row whose column A is the start marker and a row whose column A is
// the end marker, rows of two cells, a term and its counterpart. The reading
// needs no host and shows nothing: it says what it found as a value, so that
// the plug-in (shared_dictionary.h) and the dictionary checker both build on it.
#pragma once

#include "term_columns.h"
#include "term_dictionary.h"
#include "xlbook.h"

#include <string>
#include <string_view>

// The markers that the plug-in's workbook uses.
inline constexpr char16_t kStartMarker[] = u"KQ_FILE_START";
inline constexpr char16_t kEndMarker[] = u"KQ_FILE_END";

// The rows in which the start marker is looked for: 0 to 100.
inline constexpr int kLastStartMarkerRow = 100;

// The rows of a read as they go by, for tools that explain a workbook. Every
// method has an empty default.
class LoadObserver {
public:
    virtual ~LoadObserver() = default;
    // Column A of the start-marker search, row by row, as read.
    virtual void markerCandidate(int /*row*/, const std::u16string& /*text*/) {}
    // A number cell of a pair row and the text it reads as.
    virtual void numberCell(int /*row*/, int /*col*/, double /*value*/, const std::u16string& /*text*/) {}
    // A pair row; `entered` is false when a cell was empty and the row skipped.
    virtual void pairRow(int /*row*/, const std::u16string& /*first*/, const std::u16string& /*second*/,
                         bool /*entered*/) {}
};

enum class WorkbookStatus {
    Loaded,          // the region was read through its end marker
    NotOpened,       // no book, or the file did not load
    NoSheet,         // the book has no first sheet
    NoStartMarker,   // none in column A of rows 0 to 100
    NoEndMarker,     // the region ran to the sheet's last used row
};

// What a read found. Rows count from 0.
struct WorkbookRead {
    WorkbookStatus status = WorkbookStatus::NotOpened;
    std::string openError;   // why it could not be opened, in UTF-8
    int startRow = -1;
    int endRow = -1;
    int pairsEntered = 0;

    bool loaded() const { return status == WorkbookStatus::Loaded; }
    // Whether the plug-in would enter pairs from it at all.
    bool hasRegion() const { return startRow >= 0; }
};

// Enters every complete pair row of the workbook at `path` into `dictionary`,
// in both directions; later rows win. With `columns` (the columns of
// `dictionary`), notes in the same pass which column each term stands in.
// When memory runs out on the way, both are left empty and the workbook
// counts as not opened.
WorkbookRead readDictionaryWorkbook(TermDictionary& dictionary, std::u16string_view path,
                                    std::u16string_view startMarker, std::u16string_view endMarker,
                                    LoadObserver* observer = nullptr, TermColumns* columns = nullptr);
// The same for a book that is open already.
WorkbookRead readDictionaryBook(TermDictionary& dictionary, xl::Book& book, std::u16string_view startMarker,
                                std::u16string_view endMarker, LoadObserver* observer = nullptr,
                                TermColumns* columns = nullptr);

// A new book of the kind the path's extension asks for: the binary book for
// ".xls" in any mix of case, the XML book for anything else; null when none
// could be created.
xl::BookHandle createBookFor(std::u16string_view path);

// The extension of the path's last component, from its last '.', or empty
// when that component has none (on Windows as PathFindExtensionW finds it).
std::u16string_view findExtension(std::u16string_view path);
// Whether the book for `path` is the binary (.xls) one: its extension is
// ".xls" in any mix of cases. Any other path gets the XML book.
bool isBinaryBookName(std::u16string_view path);
// That book with the workbook at `path` loaded; null, with `error` saying
// why in UTF-8, when it cannot be read.
xl::BookHandle openWorkbook(std::u16string_view path, std::string& error);
// The same for a workbook file's bytes, read by a caller that names files in
// its own way; `fileName` chooses the kind of book.
xl::BookHandle openWorkbookBytes(std::string_view bytes, std::u16string_view fileName, std::string& error);

// The text of one cell: a number rendered with "%lf" and tidied, anything
// else as its string, or empty. Returns 1, as the loader's callers expect.
int readCellText(xl::Sheet* sheet, int row, int col, std::u16string& text, LoadObserver* observer = nullptr);

// Removes the trailing zeros of a number's fixed rendering, and the decimal
// point when nothing follows it: 12.500000 gives 12.5, 100.000000 gives 100.
std::u16string trimNumberText(std::u16string text);
