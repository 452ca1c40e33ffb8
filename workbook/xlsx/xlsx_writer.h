// Writes .xlsx workbooks: sheets of text and numbers, each with an optional
// header row that stays in view (frozen), is bold and carries a filter, and
// with column widths. Texts are written inline (no shared strings table) and
// each sheet is deflated as its rows come, so that a large sheet is never
// held as XML whole. The package has what Excel requires of a workbook:
// content types, relationships, the workbook part and styles.
//
//   xl::XlsxWriter writer;
//   writer.addSheet("Names", {{.width = 30}, {.width = 12}});
//   writer.addRow({"Part", "Id"});
//   writer.addRow({"Bracket", 17});
//   std::string bytes = writer.finish();
//
// Misuse and what a sheet cannot hold (a text of more than 32,767
// characters, a row past the sheet's last, an unusable sheet name, a number
// that is not finite) throw std::invalid_argument or std::length_error
// saying what and where; nothing is written in part.
#pragma once

#include "xlsx/zip_writer.h"

#include <concepts>
#include <cstdint>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace xl {

// One cell to write: nothing, a text (UTF-8; ill-formed sequences become
// U+FFFD) or a number.
class CellValue {
public:
    enum class Kind { Empty, Text, Number };

    CellValue() = default;
    CellValue(std::string_view text) : kind_(Kind::Text), text_(text) {}
    CellValue(const char* text) : kind_(Kind::Text), text_(text) {}
    CellValue(const std::string& text) : kind_(Kind::Text), text_(text) {}
    template <typename Number>
        requires std::integral<Number> || std::floating_point<Number>
    CellValue(Number number) : kind_(Kind::Number), number_(static_cast<double>(number))
    {
    }

    Kind kind() const { return kind_; }
    std::string_view text() const { return text_; }
    double number() const { return number_; }

private:
    Kind kind_ = Kind::Empty;
    std::string_view text_;
    double number_ = 0;
};

struct ColumnFormat {
    double width = 0; // in characters of the default font; 0 leaves the default
};

class XlsxWriter {
public:
    // The most a cell holds, in UTF-16 code units, and a sheet's rows.
    static constexpr size_t kMaxCellText = 32767;
    static constexpr size_t kMaxRows = 1048576;
    static constexpr size_t kMaxColumns = 16384;

    XlsxWriter();
    ~XlsxWriter();
    XlsxWriter(const XlsxWriter&) = delete;
    XlsxWriter& operator=(const XlsxWriter&) = delete;

    struct SheetOptions {
        // The first row is the header: bold, frozen above the others, with a
        // filter over the columns it names.
        bool headerRow = true;
        // Where the sheet stands among those added before it (0: first), so
        // that a summary made last can open the workbook; past them when
        // larger.
        size_t position = SIZE_MAX;
    };
    // Starts a sheet after the last one, which is finished. The name is
    // 1 to 31 characters, none of \ / ? * [ ] :, not starting or ending with
    // an apostrophe, unique without regard to case.
    void addSheet(std::string_view name, const std::vector<ColumnFormat>& columns, const SheetOptions& options);
    void addSheet(std::string_view name, const std::vector<ColumnFormat>& columns = {})
    {
        addSheet(name, columns, SheetOptions{});
    }

    // Appends a row to the sheet last added; empty cells are left out.
    void addRow(const CellValue* cells, size_t count);
    void addRow(const std::vector<CellValue>& cells) { addRow(cells.data(), cells.size()); }
    void addRow(std::initializer_list<CellValue> cells) { addRow(cells.begin(), cells.size()); }

    // Rows written to the sheet last added, its header included.
    size_t rowsInSheet() const;
    size_t sheetCount() const;

    // The workbook file's bytes. The writer is spent afterwards. A workbook
    // with no sheet gets one empty sheet, as a workbook must hold one.
    std::string finish();

private:
    struct Sheet;
    void finishSheet();
    void flushRows();

    std::vector<Sheet> sheets_;   // in the order they were added
    std::vector<size_t> order_;   // indices into sheets_, in the workbook's order
    std::string xml_; // rows not yet deflated
};

} // namespace xl
