// The binary book: workbooks in the Excel 97-2003 .xls format (BIFF8 in a
// compound file). Loading reads the workbook globals and the first worksheet,
// so that a file whose first sheet is unsound fails to load with the reason;
// later worksheets are read when first asked for.
#include "xls/xls_book.h"

#include "common/file_reader.h"
#include "common/little_endian.h"
#include "common/load_error.h"
#include "common/sheet_data.h"
#include "xls/biff_records.h"
#include "xls/biff_workbook.h"
#include "xls/compound_file.h"

#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace xl {
namespace {

using xls::BiffWorkbook;
using xls::CompoundFile;

// Files larger than loadRaw can take are refused rather than half read.
constexpr size_t kLargestFile = 0xFFFFFFFFu;

// Before the compound-file container, Excel wrote its record stream as the
// file itself; such a file starts with a BOF record of its BIFF version.
bool startsWithBof(std::span<const uint8_t> bytes)
{
    if (bytes.size() < 4)
        return false;
    return xls::isBof(loadU16(bytes.data()));
}

class XlsBook final : public Book {
public:
    bool load(const char16_t* path, const char16_t*) override
    {
        return loading([&] {
            file_ = readWholeFile(path, kLargestFile);
            open(std::span(reinterpret_cast<const uint8_t*>(file_.data()), file_.size()), true);
        });
    }

    bool loadRaw(const char* data, unsigned size) override
    {
        return loading([&] {
            if (!data && size > 0)
                throw LoadError{"no data given"};
            open(std::span(reinterpret_cast<const uint8_t*>(data), size), false);
        });
    }

    Sheet* getSheet(int index) override
    {
        if (!workbook_ || index < 0 || static_cast<size_t>(index) >= sheets_.size())
            return nullptr;
        auto& sheet = sheets_[static_cast<size_t>(index)];
        if (!sheet) {
            // Only the first worksheet's faults reach errorMessage(), through
            // load(); a later unsound one is simply not there.
            std::string ignored;
            if (!ranThrough("sheet " + std::to_string(index + 1), ignored,
                         [&] { sheet.emplace(readSheet(static_cast<size_t>(index))); }))
                sheet.emplace(nullptr);
        }
        return sheet->get();
    }

    void release() override { delete this; }

    const char* errorMessage() const override { return message_.c_str(); }

private:
    // Runs a load of the book, which is left empty when the load fails.
    template <typename Step>
    bool loading(Step step)
    {
        clear();
        message_.clear();
        if (ranThrough("the workbook", message_, step))
            return true;
        clear();
        return false;
    }

    void clear()
    {
        workbook_.reset();
        sheets_.clear();
        file_ = std::string();
        stream_ = std::vector<uint8_t>();
    }

    // Reads the workbook in `bytes`, which stay with the book when `kept`.
    void open(std::span<const uint8_t> bytes, bool kept)
    {
        std::span<const uint8_t> stream;
        if (CompoundFile::hasSignature(bytes)) {
            CompoundFile file(bytes);
            // Excel 5.0/95 named the stream "Book"; files saved for both
            // versions hold both streams.
            const char* name = file.hasStream("Workbook") ? "Workbook" : file.hasStream("Book") ? "Book" : nullptr;
            if (!name)
                throw LoadError{"the compound file holds no workbook: its root storage has no 'Workbook' stream"};
            stream = file.viewStream(name, stream_);
        } else if (startsWithBof(bytes)) {
            stream = bytes;
        } else if (bytes.size() >= 4 && std::memcmp(bytes.data(), "PK\x03\x04", 4) == 0) {
            throw LoadError{"not an .xls workbook: the file is a zip package, as .xlsx workbooks are"};
        } else {
            throw LoadError{"not an .xls workbook: the file is neither a compound file nor a BIFF record stream"};
        }
        // The workbook reads its stream where it lies in the file, when the
        // book keeps the file, rather than from a copy; a stream that had to
        // be copied leaves the file of no more use.
        if (stream.data() == stream_.data())
            file_ = std::string();
        else if (!kept) {
            stream_.assign(stream.begin(), stream.end());
            stream = stream_;
        }
        workbook_ = std::make_unique<BiffWorkbook>(stream);
        sheets_.resize(workbook_->worksheetCount());
        if (!sheets_.empty())
            sheets_[0].emplace(readSheet(0));
    }

    std::unique_ptr<SheetData> readSheet(size_t index) const
    {
        auto sheet = std::make_unique<SheetData>(&workbook_->sharedTexts());
        workbook_->readWorksheet(index, *sheet);
        return sheet;
    }

    // The file, or a copy of its workbook stream, which workbook_ reads.
    std::string file_;
    std::vector<uint8_t> stream_;
    std::unique_ptr<BiffWorkbook> workbook_;
    // Empty until a worksheet is first read; then the sheet, or null when it
    // could not be read.
    std::vector<std::optional<std::unique_ptr<SheetData>>> sheets_;
    std::string message_;
};

} // namespace

Book* createXlsBook() { return new (std::nothrow) XlsBook; }

} // namespace xl
