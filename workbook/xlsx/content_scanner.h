// A scanner for the bulk of a workbook's XML: the rows of a worksheet's
// <sheetData> and the items of the shared strings table. It reads a whole
// <row> or <si> at a time from the XML reader's window, with searches for the
// few bytes that matter, and decodes references only where they appear.
//
// It takes only what it can read exactly as XmlReader and the worksheet
// reader would: names without prefixes, no comments, CDATA or processing
// instructions, no references in attribute values or in text it passes
// over, elements whole in the reader's window and at most kMaxElement bytes
// long, and cells that mean something. Anything else it leaves, having
// passed nothing, for its caller to read through the XML reader, which
// reports the faults; so a scanned part reads, and fails, as the XML reader
// reads it. It reads nothing from the part itself: the row or item that the
// end of a piece cuts (one in 64 KiB) is the XML reader's.
#pragma once

#include "common/cell_reference.h"
#include "xlsx/cell_value.h"
#include "xlsx/xml_reader.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace xl {

class ContentScanner {
public:
    // A row or shared string longer than this is left to the XML reader,
    // whose count of items in one stretch (XmlReader::kMaxItems) cannot be
    // reached within it.
    static constexpr size_t kMaxElement = size_t(256) << 10;

    struct Cell {
        CellPosition position;
        CellValue value; // its text valid until the next call
    };

    // Scans the content of the element whose start tag is current in `xml`:
    // <sheetData> for row(), <sst> for sharedString(), whose cells may refer
    // to `sharedStrings` shared strings.
    explicit ContentScanner(XmlReader& xml, size_t sharedStrings = 0);

    // The next child, when it is a <row> that the scanner takes: its cells
    // into `cells`, in the order they are written, and `nextRow` (the row of
    // a row without a number) moved past it. False, with nothing passed and
    // `nextRow` as it was, for anything else.
    bool row(int& nextRow, std::vector<Cell>& cells);
    // The next child, when it is an <si> that the scanner takes: its text
    // (the runs joined, phonetic runs left out) into `text`, as UTF-8 with
    // the _xHHHH_ escapes not yet decoded.
    bool sharedString(std::string& text);

private:
    struct RawCell {
        CellPosition position;
        CellKind kind;
        bool hasValue;
        bool hasInlineText;
        size_t value, valueLength; // in texts_
        size_t inlineText, inlineTextLength;
    };
    struct Wanted {
        std::string_view localName;
        std::string_view value = {};
        bool found = false;
    };

    template <typename Scan>
    bool attempt(Scan scan);
    size_t scanRow(const char* begin, int& nextRow, std::vector<Cell>& cells);
    size_t scanSharedString(const char* begin, std::string& text);
    bool startsChild(const char*& p, std::string_view name);
    bool cell(const char*& p, int rowIndex, int& column, int depth);
    bool attributes(const char*& p, bool& empty, Wanted* wanted, size_t count);
    bool elementName(const char*& p, std::string_view& name);
    bool endTag(const char*& p, std::string_view name);
    bool passText(const char*& p);
    bool leafText(const char*& p, std::string_view name, std::string& out);
    bool content(const char*& p, std::string_view name, std::string* out, int depth);

    XmlReader& xml_;
    size_t sharedStrings_;
    int maxDepth_;             // of the elements it reads, a row or item being 1
    const char* end_ = nullptr; // of the window, where a NUL stands
    std::string texts_;
    std::vector<RawCell> raw_;
};

} // namespace xl
