// The spreadsheet layer: books and sheets read from workbook files, behind the
// few operations that the dictionary loader uses. Text is UTF-16 throughout.
//
// Cell types, as this layer numbers them (the loader relies only on 1):
//   0 empty    no cell, or a cell with neither value nor formula result
//   1 number   a numeric value, or a formula whose cached result is a number
//   2 string   text, or a formula whose cached result is text
//   3 boolean  TRUE or FALSE (readStr gives null)
//   4 blank    a cell that exists but has no value, e.g. only a style
//   5 error    an error value such as #N/A (readStr gives null)
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace xl {

enum CellType : int {
    CELLTYPE_EMPTY = 0,
    CELLTYPE_NUMBER = 1,
    CELLTYPE_STRING = 2,
    CELLTYPE_BOOLEAN = 3,
    CELLTYPE_BLANK = 4,
    CELLTYPE_ERROR = 5,
};

// Cell formats are not modelled; the pointer parameter is there so that calls
// can pass null as the loader does.
struct Format;

class Sheet {
public:
    // Rows and columns count from 0. Out-of-range or negative positions are
    // empty cells, never errors.
    virtual int cellType(int row, int col) const = 0;
    // The cell's text, valid until the next readStr on this sheet or the
    // release of its book; null for anything that is not text.
    virtual const char16_t* readStr(int row, int col, Format** format = nullptr) = 0;
    // The cell's number; 0 for anything that is not a number.
    virtual double readNum(int row, int col, Format** format = nullptr) const = 0;
    // One past the last row that holds a cell (0 for an empty sheet).
    virtual int lastRow() const = 0;
    // The cells the sheet holds, of every type: for a reader that reserves
    // room for what it will take from them, a bound that lastRow() is not.
    virtual size_t cellCount() const = 0;

protected:
    ~Sheet() = default;
};

class Book {
public:
    // Reads the workbook at `path` (UTF-16, native separators). True when the
    // file was read into the book; false leaves the book empty, with
    // errorMessage() saying what failed and where.
    virtual bool load(const char16_t* path, const char16_t* tempFile = nullptr) = 0;
    // The same for a workbook file's bytes held in memory.
    virtual bool loadRaw(const char* data, unsigned size) = 0;
    // The sheet at `index` in workbook order, owned by the book; null when
    // there is none.
    virtual Sheet* getSheet(int index) = 0;
    // Frees the book and everything that belongs to it.
    virtual void release() = 0;
    // UTF-8 text of the last load failure, empty after a successful load.
    virtual const char* errorMessage() const = 0;

protected:
    ~Book() = default;
};

// A book for the binary .xls format, or null.
Book* xlCreateBookW();
// A book for the XML .xlsx format, or null.
Book* xlCreateXMLBookW();

// A book that releases itself when its handle goes out of scope:
//   xl::BookHandle book(xl::xlCreateXMLBookW());
struct BookRelease {
    void operator()(Book* book) const { book->release(); }
};
using BookHandle = std::unique_ptr<Book, BookRelease>;

} // namespace xl
