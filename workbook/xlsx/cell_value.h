// What a cell of an XML worksheet holds, as both readers of worksheets find
// it (the XML reader's and the scanner's): the kinds of its t attribute, and
// the value that its first <v> and its inline text give it. One place for
// these rules, so that the two readers cannot read a cell differently.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace xl {

// The cell types of the t attribute.
enum class CellKind { Number, SharedString, InlineString, FormulaString, Boolean, Error, Date, Unknown };

CellKind cellKind(std::optional<std::string_view> type);

struct CellValue {
    enum class What { Blank, Text, SharedString, Number, Boolean, Error };
    What what = What::Blank;
    // Text: its UTF-8, _xHHHH_ escapes not yet decoded. For a fault, the
    // text at fault.
    std::string_view text;
    double number = 0;
    size_t index = 0; // of a shared string
    bool flag = false;
};

// Why a cell cannot mean anything.
enum class CellFault { None, NotANumber, NotABoolean, NoSuchString, UnknownType };

// The value of a cell of kind `kind`, given the text of its first <v> and of
// its inline string (<is>) when it has them, in a book of `sharedStrings`
// shared strings.
CellFault interpretCell(CellKind kind, std::optional<std::string_view> value,
                        std::optional<std::string_view> inlineText, size_t sharedStrings, CellValue& out);

// UTF-16 of gathered UTF-8 text, with the _xHHHH_ escapes decoded.
void decodeText(std::string_view utf8, std::u16string& out);

} // namespace xl
