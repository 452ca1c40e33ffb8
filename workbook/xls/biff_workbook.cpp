// A BIFF8 workbook stream read into globals and worksheet cells; see
// biff_workbook.h.
#include "xls/biff_workbook.h"

#include "common/cell_reference.h"
#include "common/little_endian.h"
#include "common/load_error.h"
#include "xls/biff_records.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace xl::xls {
namespace {

constexpr uint16_t kVersionBiff5 = 0x0500;
constexpr uint16_t kVersionBiff8 = 0x0600;
constexpr uint16_t kGlobalsKind = 0x0005;
constexpr uint8_t kWorksheetKind = 0x00;
constexpr int kLastColumn = 255;
constexpr size_t kRecordBytesPerCell = 14;

// A fault of `record`, of its cell `at` when one is at fault.
[[noreturn]] void failRecord(const Record& record, std::string what, std::optional<CellPosition> at = std::nullopt)
{
    failStream(std::move(what), describeRecord(record.type, record.offset), std::nullopt, at);
}

void requireSize(const Record& record, size_t size)
{
    if (record.data.size() < size)
        failRecord(record, "holds " + std::to_string(record.data.size()) + " bytes, fewer than the " +
                               std::to_string(size) + " it needs");
}

[[noreturn]] void failUnsupported(const char* format)
{
    throw LoadError{std::string("the workbook is in the ") + format +
                    " format, which is not read; only Excel 97-2003 workbooks (BIFF8) are"};
}

void checkGlobalsBof(const Record& bof)
{
    switch (bof.type) {
    case record::kBofBiff2: failUnsupported("Excel 2.x (BIFF2)");
    case record::kBofBiff3: failUnsupported("Excel 3.0 (BIFF3)");
    case record::kBofBiff4: failUnsupported("Excel 4.0 (BIFF4)");
    default: break;
    }
    requireSize(bof, 4);
    const uint16_t version = loadU16(bof.data.data());
    if (version == kVersionBiff5)
        failUnsupported("Excel 5.0/95 (BIFF5)");
    if (version != kVersionBiff8) {
        char code[8];
        std::snprintf(code, sizeof code, "0x%04X", version);
        failStream("the BOF record at offset 0 gives the unknown BIFF version " + std::string(code));
    }
    if (loadU16(bof.data.data() + 2) != kGlobalsKind)
        failStream("the BOF record at offset 0 does not open the workbook globals");
}

// Turns the cell records of one worksheet into cells of a SheetData.
class CellReader {
public:
    CellReader(SheetData& sheet, const std::vector<TextPool::Id>& sharedStrings)
        : sheet_(sheet), sharedStrings_(sharedStrings)
    {
    }
    void read(const Record& record, RecordCursor& cursor);

private:
    static std::optional<CellPosition> position(const uint8_t* data);
    void addSharedText(const Record& record, CellPosition at, uint32_t index);
    void addString(const Record& record, CellPosition at, std::u16string_view text);
    void checkShown(bool shown, const Record& record, CellPosition at) const;
    void readFormula(const Record& record, CellPosition at);

    SheetData& sheet_;
    const std::vector<TextPool::Id>& sharedStrings_;
    // A formula whose text result follows in a STRING record.
    bool awaitingText_ = false;
    CellPosition textFormula_{0, 0};
    std::u16string text_; // the text of a LABEL or STRING record, its room reused
};

// Cells right of the last column a BIFF8 sheet has are left out.
std::optional<CellPosition> CellReader::position(const uint8_t* data)
{
    const int col = loadU16(data + 2);
    if (col > kLastColumn)
        return std::nullopt;
    return CellPosition{loadU16(data), col};
}

void CellReader::addSharedText(const Record& record, CellPosition at, uint32_t index)
{
    if (index >= sharedStrings_.size())
        failRecord(record,
                   "shared string " + std::to_string(index) + " does not exist; the SST holds " +
                       std::to_string(sharedStrings_.size()),
                   at);
    checkShown(sheet_.addSharedString(at.row, at.col, sharedStrings_[index]), record, at);
}

void CellReader::addString(const Record& record, CellPosition at, std::u16string_view text)
{
    checkShown(sheet_.addString(at.row, at.col, text), record, at);
}

void CellReader::checkShown(bool shown, const Record& record, CellPosition at) const
{
    if (!shown)
        failRecord(record, SheetData::shownTextExceeded(), at);
}

void CellReader::readFormula(const Record& record, CellPosition at)
{
    constexpr uint8_t kTextResult = 0;
    constexpr uint8_t kBooleanResult = 1;
    constexpr uint8_t kErrorResult = 2;
    constexpr uint8_t kEmptyTextResult = 3;
    const uint8_t* result = record.data.data() + 6;
    // A result that is not a number is marked by FF FF in the top bytes of
    // the 8-byte field, which no number written there has.
    if (loadU16(result + 6) != 0xFFFF) {
        sheet_.addNumber(at.row, at.col, loadF64(result));
        return;
    }
    switch (result[0]) {
    case kTextResult:
        awaitingText_ = true;
        textFormula_ = at;
        break;
    case kBooleanResult: sheet_.addBoolean(at.row, at.col, result[2] != 0); break;
    case kErrorResult: sheet_.addError(at.row, at.col); break;
    case kEmptyTextResult: addString(record, at, u""); break;
    default: break; // no result known: the cell stays empty
    }
}

void CellReader::read(const Record& record, RecordCursor& cursor)
{
    if (record.type != record::kString && record.type != record::kSharedFormula && record.type != record::kArray &&
        record.type != record::kTable)
        awaitingText_ = false;

    const uint8_t* data = record.data.data();
    switch (record.type) {
    case record::kNumber:
        requireSize(record, 14);
        if (const auto at = position(data))
            sheet_.addNumber(at->row, at->col, loadF64(data + 6));
        break;
    case record::kRk:
        requireSize(record, 10);
        if (const auto at = position(data))
            sheet_.addNumber(at->row, at->col, decodeRk(loadU32(data + 6)));
        break;
    case record::kMulRk: {
        // row, first column, then 6 bytes (format, RK) per cell; the last
        // column that closes the record follows from its length.
        requireSize(record, 6);
        const size_t count = (record.data.size() - 6) / 6;
        for (size_t i = 0; i < count; ++i) {
            const auto at = position(data);
            const size_t col = size_t{loadU16(data + 2)} + i;
            if (at && col <= kLastColumn)
                sheet_.addNumber(at->row, static_cast<int>(col), decodeRk(loadU32(data + 4 + 6 * i + 2)));
        }
        break;
    }
    case record::kBlank:
        requireSize(record, 6);
        if (const auto at = position(data))
            sheet_.addBlank(at->row, at->col);
        break;
    case record::kMulBlank: {
        requireSize(record, 6);
        const size_t count = (record.data.size() - 6) / 2;
        for (size_t i = 0; i < count; ++i) {
            const size_t col = size_t{loadU16(data + 2)} + i;
            if (col <= kLastColumn)
                sheet_.addBlank(loadU16(data), static_cast<int>(col));
        }
        break;
    }
    case record::kBoolErr:
        requireSize(record, 8);
        if (const auto at = position(data)) {
            if (data[7] != 0)
                sheet_.addError(at->row, at->col);
            else
                sheet_.addBoolean(at->row, at->col, data[6] != 0);
        }
        break;
    case record::kLabelSst:
        requireSize(record, 10);
        if (const auto at = position(data))
            addSharedText(record, *at, loadU32(data + 6));
        break;
    case record::kLabel:
    case record::kRichLabel:
        requireSize(record, 6);
        if (const auto at = position(data)) {
            ContinuedReader text(record, cursor, 6);
            text.readString(false, text_);
            addString(record, *at, text_);
        }
        break;
    case record::kFormula:
        requireSize(record, 14);
        if (const auto at = position(data))
            readFormula(record, *at);
        break;
    case record::kString:
        if (awaitingText_) {
            ContinuedReader text(record, cursor, 0);
            text.readString(false, text_);
            addString(record, textFormula_, text_);
            awaitingText_ = false;
        }
        break;
    default: break;
    }
}

} // namespace

BiffWorkbook::BiffWorkbook(std::span<const uint8_t> stream) : stream_(stream)
{
    RecordCursor cursor(stream_, 0);
    Record record;
    if (!cursor.next(record) || !isBof(record.type))
        failStream("it does not start with a BOF record");
    checkGlobalsBof(record);
    while (cursor.next(record)) {
        switch (record.type) {
        case record::kFilePass:
            throw LoadError{"the workbook is encrypted (FILEPASS record at offset " + std::to_string(record.offset) +
                            "); password-protected workbooks are not read"};
        case record::kBoundSheet:
            requireSize(record, 6);
            if (record.data[5] == kWorksheetKind)
                worksheetOffsets_.push_back(loadU32(record.data.data()));
            break;
        case record::kSst: {
            ContinuedReader strings(record, cursor, 0);
            readSharedStrings(strings);
            break;
        }
        case record::kEof: return;
        default: break;
        }
    }
    failStream("the workbook globals end at offset " + std::to_string(cursor.offset()) + " without an EOF record");
}

void BiffWorkbook::readSharedStrings(ContinuedReader& in)
{
    sharedTexts_ = TextPool();
    sharedStrings_.clear();
    in.u32(); // how often the strings are used in all: nothing to check it against
    // The number of strings is only a claim; they stop where the data does.
    const uint32_t claimed = in.u32();
    // Each string takes at least as many bytes of the data as it and its
    // length take code units in the pool, and at least three bytes in all.
    const uint64_t bytes = in.remaining();
    sharedTexts_.reserve(static_cast<size_t>(bytes));
    sharedStrings_.reserve(static_cast<size_t>(std::min<uint64_t>(claimed, bytes / 3)));
    std::u16string text;
    while (sharedStrings_.size() < claimed && !in.atEnd()) {
        in.readString(true, text);
        sharedStrings_.push_back(sharedTexts_.add(text));
    }
}

void BiffWorkbook::readWorksheet(size_t index, SheetData& sheet) const
{
    const uint32_t start = worksheetOffsets_.at(index);
    const std::string which = "worksheet " + std::to_string(index + 1);
    RecordCursor cursor(stream_, start);
    Record record;
    if (!cursor.nextIs(record::kBof) || !cursor.next(record))
        failStream("no BOF record at offset " + std::to_string(start) + ", where the BOUNDSHEET of " + which +
                   " puts it");

    // Room for the cells the records up to the next worksheet can hold, so
    // that the sheet fills without copies: a LABELSST or NUMBER record, the
    // most common cells, takes 14 bytes. Room that stays unused is never
    // touched, so it takes no memory.
    size_t end = stream_.size();
    for (const uint32_t offset : worksheetOffsets_)
        if (offset > start && offset < end)
            end = offset;
    sheet.reserve(end > start ? (end - start) / kRecordBytesPerCell : 0);

    CellReader cells(sheet, sharedStrings_);
    // Charts embedded in the sheet sit between a BOF and an EOF of their
    // own; the cell-like records there are the chart's data, not cells.
    int depth = 1;
    while (cursor.next(record)) {
        if (record.type == record::kBof) {
            ++depth;
        } else if (record.type == record::kEof) {
            if (--depth == 0) {
                sheet.finish();
                return;
            }
        } else if (depth == 1) {
            cells.read(record, cursor);
        }
    }
    failStream(which + " (BOF at offset " + std::to_string(start) + ") ends without an EOF record");
}

} // namespace xl::xls
