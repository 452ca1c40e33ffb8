// The reading of a dictionary workbook. The book is released on every path out.
#include "workbook_loader.h"

#include "text.h"
#include "common/ascii.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <new>

#if defined(_WIN32)
#  include <windows.h>
#  include <shlwapi.h>
#endif

namespace {


// The cell's string, copied at once into `text` (whose room is reused).
void readString(xl::Sheet* sheet, int row, int col, std::u16string& text)
{
    const char16_t* string = sheet->readStr(row, col, nullptr);
    if (string)
        text.assign(string);
    else
        text.clear();
}

// The start marker's row among the first rows of column A, or -1.
int findStartMarker(xl::Sheet* sheet, std::u16string_view marker, LoadObserver* observer)
{
    std::u16string text;
    for (int row = 0; row <= kLastStartMarkerRow; ++row) {
        readString(sheet, row, 0, text);
        if (observer)
            observer->markerCandidate(row, text);
        if (text == marker)
            return row;
    }
    return -1;
}

// The book for `fileName` with `load` run on it; null with `error` set when either fails.
template <typename Load>
xl::BookHandle loadedBook(std::u16string_view fileName, std::string& error, Load load)
{
    xl::BookHandle book = createBookFor(fileName);
    if (!book) {
        error = "no book could be created";
        return nullptr;
    }
    if (!load(*book)) {
        error = book->errorMessage();
        return nullptr;
    }
    return book;
}

} // namespace

#if defined(_WIN32)

std::u16string_view findExtension(std::u16string_view path)
{
    std::u16string text(path);
    const wchar_t* start = reinterpret_cast<const wchar_t*>(text.c_str());
    const wchar_t* extension = PathFindExtensionW(start);
    return path.substr(static_cast<size_t>(extension - start));
}

#else

std::u16string_view findExtension(std::u16string_view path)
{
    size_t componentStart = path.find_last_of(u'/');
    componentStart = componentStart == std::u16string_view::npos ? 0 : componentStart + 1;
    size_t dot = path.find_last_of(u'.');
    if (dot == std::u16string_view::npos || dot < componentStart)
        return path.substr(path.size());
    return path.substr(dot);
}

#endif

bool isBinaryBookName(std::u16string_view path)
{
    return xl::equalIgnoringAsciiCase(findExtension(path), std::u16string_view(u".xls"));
}

xl::BookHandle createBookFor(std::u16string_view path)
{
    return xl::BookHandle(isBinaryBookName(path) ? xl::xlCreateBookW() : xl::xlCreateXMLBookW());
}

xl::BookHandle openWorkbook(std::u16string_view path, std::string& error)
{
    // The book reads a NUL-terminated path.
    return loadedBook(path, error, [&](xl::Book& book) { return book.load(std::u16string(path).c_str(), nullptr); });
}

xl::BookHandle openWorkbookBytes(std::string_view bytes, std::u16string_view fileName, std::string& error)
{
    if (bytes.size() > std::numeric_limits<unsigned>::max()) {
        error = "the file is too large for a workbook";
        return nullptr;
    }
    return loadedBook(fileName, error, [&](xl::Book& book) {
        return book.loadRaw(bytes.data(), static_cast<unsigned>(bytes.size()));
    });
}

std::u16string trimNumberText(std::u16string text)
{
    if (text.find(u'.') != std::u16string::npos) {
        while (!text.empty() && text.back() == u'0')
            text.pop_back();
        if (!text.empty() && text.back() == u'.')
            text.pop_back();
    }
    return text;
}

int readCellText(xl::Sheet* sheet, int row, int col, std::u16string& text, LoadObserver* observer)
{
    // Text first: it is nearly every cell, and then the one look-up it takes.
    if (const char16_t* string = sheet->readStr(row, col, nullptr)) {
        text.assign(string);
    } else if (sheet->cellType(row, col) == xl::CELLTYPE_NUMBER) {
        double value = sheet->readNum(row, col, nullptr);
        // Fixed notation of the largest double takes 309 digits and the decimals.
        char rendering[400];
        std::snprintf(rendering, sizeof rendering, "%lf", value);
        text = trimNumberText(narrowToWide(rendering));
        if (observer)
            observer->numberCell(row, col, value, text);
    } else {
        text.clear();
    }
    return 1;
}

namespace {

WorkbookRead readRegion(TermDictionary& dictionary, xl::Book& book, std::u16string_view startMarker,
                        std::u16string_view endMarker, LoadObserver* observer, TermColumns* columns)
{
    WorkbookRead read;
    xl::Sheet* sheet = book.getSheet(0);
    if (sheet == nullptr) {
        read.status = WorkbookStatus::NoSheet;
        return read;
    }
    read.startRow = findStartMarker(sheet, startMarker, observer);
    if (read.startRow < 0) {
        read.status = WorkbookStatus::NoStartMarker;
        return read;
    }

    // Without an end marker the region ends with the sheet's last used row.
    const int lastRow = sheet->lastRow();
    // Room for a pair on every row of the region that cells can fill, so that
    // the tables are laid out once rather than grown and laid out again.
    const size_t pairRows = std::min(static_cast<size_t>(lastRow - read.startRow), sheet->cellCount() / 2);
    dictionary.reserve(dictionary.size() + 2 * pairRows);
    std::u16string first;
    std::u16string second;
    for (int row = read.startRow + 1; row < lastRow; ++row) {
        readCellText(sheet, row, 0, first, observer);
        readCellText(sheet, row, 1, second, observer);
        if (first == endMarker) {
            read.endRow = row;
            read.status = WorkbookStatus::Loaded;
            return read;
        }
        const bool complete = !first.empty() && !second.empty();
        if (complete) {
            // The columns are marks of the term table's own entries: entered
            // with the terms, they take no lookups of their own.
            dictionary.setPair(first, second, columns ? kColumnA : 0, columns ? kColumnB : 0);
            ++read.pairsEntered;
        }
        if (observer)
            observer->pairRow(row, first, second, complete);
    }
    read.status = WorkbookStatus::NoEndMarker;
    return read;
}

// Runs `read` so that memory running out on the way leaves no half
// dictionary, which would swap some names one way only: none at all is what
// a workbook that cannot be read gives.
template <typename Read>
WorkbookRead wholeOrNothing(TermDictionary& dictionary, Read&& read)
{
    try {
        return read();
    } catch (const std::bad_alloc&) {
        dictionary = TermDictionary(); // and with it the columns of its terms
        WorkbookRead failed;
        failed.openError = "out of memory while reading the workbook";
        return failed;
    }
}

} // namespace

WorkbookRead readDictionaryBook(TermDictionary& dictionary, xl::Book& book, std::u16string_view startMarker,
                                std::u16string_view endMarker, LoadObserver* observer, TermColumns* columns)
{
    return wholeOrNothing(dictionary,
                          [&] { return readRegion(dictionary, book, startMarker, endMarker, observer, columns); });
}

WorkbookRead readDictionaryWorkbook(TermDictionary& dictionary, std::u16string_view path,
                                    std::u16string_view startMarker, std::u16string_view endMarker,
                                    LoadObserver* observer, TermColumns* columns)
{
    return wholeOrNothing(dictionary, [&] {
        WorkbookRead read;
        xl::BookHandle book = openWorkbook(path, read.openError);
        if (!book)
            return read;
        return readRegion(dictionary, *book, startMarker, endMarker, observer, columns);
    });
}
