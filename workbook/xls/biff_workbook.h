// A BIFF8 workbook stream read into what the book serves: the workbook
// globals (the worksheets in workbook order and the shared-string table) when
// the stream is opened, and the cells of one worksheet on request.
#pragma once

#include "common/sheet_data.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace xl::xls {

class ContinuedReader;

class BiffWorkbook {
public:
    // Reads the globals of `stream`, which must outlive the workbook. Throws
    // LoadError for unsound records, for encrypted workbooks and for streams
    // of other BIFF versions.
    explicit BiffWorkbook(std::span<const uint8_t> stream);

    // Worksheets only: chart sheets, macro sheets and modules hold no cells
    // to serve, so they are not counted.
    size_t worksheetCount() const { return worksheetOffsets_.size(); }
    // The shared strings, for the sheets to show.
    const TextPool& sharedTexts() const { return sharedTexts_; }
    // Fills `sheet`, made with sharedTexts(), with the cells of worksheet
    // `index` and finishes it. Throws LoadError.
    void readWorksheet(size_t index, SheetData& sheet) const;

private:
    void readSharedStrings(ContinuedReader& in);

    std::span<const uint8_t> stream_;
    TextPool sharedTexts_;
    std::vector<TextPool::Id> sharedStrings_; // where each is in sharedTexts_
    std::vector<uint32_t> worksheetOffsets_; // of each worksheet's BOF record
};

} // namespace xl::xls
