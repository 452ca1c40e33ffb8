// The XML book: finds the workbook part through the package relationships,
// its sheets through the workbook's relationships (by r:id, in workbook
// order), reads the shared strings and the first sheet on load, and other
// sheets when they are asked for. The whole file is held in memory; the
// `tempFile` argument of load is not needed and not used.
#include "xlsx/xlsx_book.h"

#include "common/file_reader.h"
#include "common/load_error.h"
#include "common/quote.h"
#include "common/sheet_data.h"
#include "xlsx/opc_package.h"
#include "xlsx/xlsx_sheet.h"
#include "xlsx/xml_reader.h"

#include <algorithm>
#include <memory>
#include <new>
#include <optional>

namespace xl {
namespace {

using namespace std::string_view_literals;

// The start of an OLE compound file: what password-protected workbooks and
// legacy .xls files are.
constexpr std::string_view kCompoundFileSignature = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv;

bool hasType(const Relationship& relationship, std::string_view kind)
{
    // Transitional and Strict files name the types under different roots.
    const std::string_view type = relationship.type;
    return type.size() > kind.size() && type.ends_with(kind) && type[type.size() - kind.size() - 1] == '/';
}

std::string describeTarget(const Relationship& relationship)
{
    return "'" + quoteForMessage(relationship.target, 200) + "'";
}

// A sheet of the workbook, in workbook order.
struct SheetEntry {
    std::optional<std::string> relationshipId; // the r:id of its <sheet>
    std::unique_ptr<SheetData> data;           // once read
};

bool byId(const Relationship& a, const Relationship& b)
{
    return a.id < b.id;
}

class XlsxBook final : public Book {
public:
    XlsxBook(size_t pieceSize, bool scanned) : package_(pieceSize), scanned_(scanned) {}

    bool load(const char16_t* path, const char16_t* tempFile) override;
    bool loadRaw(const char* data, unsigned size) override;
    Sheet* getSheet(int index) override;
    void release() override { delete this; }
    const char* errorMessage() const override { return error_.c_str(); }

private:
    template <typename Step>
    bool loading(Step step);
    void open(std::string bytes);
    void readWorkbook();
    void readSheetList(XmlReader& xml);
    void readSharedStrings();
    SheetData* loadSheet(size_t index);
    void clear();

    Package package_;
    bool scanned_;
    std::string workbookPart_;
    std::vector<Relationship> workbookRelationships_; // sorted by id
    SharedStrings strings_;
    std::vector<SheetEntry> sheets_;
    std::string error_;
};

void XlsxBook::clear()
{
    package_.close();
    workbookPart_.clear();
    workbookRelationships_.clear();
    strings_ = SharedStrings();
    sheets_.clear();
    error_.clear();
}

// Runs a load of the book, which is left empty when the load fails.
template <typename Step>
bool XlsxBook::loading(Step step)
{
    clear();
    std::string message;
    if (ranThrough("the workbook", message, step))
        return true;
    clear();
    error_ = std::move(message);
    return false;
}

bool XlsxBook::load(const char16_t* path, const char16_t*)
{
    return loading([&] { open(readWholeFile(path, Package::kMaxFileSize)); });
}

bool XlsxBook::loadRaw(const char* data, unsigned size)
{
    return loading([&] {
        if (!data && size)
            throw LoadError{"no workbook data given"};
        open(std::string(data ? data : "", size));
    });
}

void XlsxBook::open(std::string bytes)
{
    if (std::string_view(bytes).starts_with(kCompoundFileSignature))
        throw LoadError{"the file is an OLE compound document (a password-protected workbook or a legacy .xls "
                        "file), not an .xlsx package"};
    package_.open(std::move(bytes));
    const std::vector<Relationship> relationships = package_.readRelationships("");
    const auto document = std::find_if(relationships.begin(), relationships.end(),
                                       [](const Relationship& r) { return hasType(r, "officeDocument"); });
    if (document == relationships.end())
        throw LoadError{.what = "no officeDocument relationship names the workbook part",
                        .source = relationshipsPartName("")};
    if (document->part.empty())
        throw LoadError{.what = "the workbook target " + describeTarget(*document) + " lies outside the package",
                        .source = relationshipsPartName("")};
    workbookPart_ = document->part;
    readWorkbook();
    loadSheet(0);
}

void XlsxBook::readWorkbook()
{
    package_.readXml(workbookPart_, [&](XmlReader& xml) { readSheetList(xml); });
    workbookRelationships_ = package_.readRelationships(workbookPart_);
    if (sheets_.empty())
        throw LoadError{.what = "the workbook lists no sheets", .source = workbookPart_};
    // Of relationships with one id, the first counts.
    std::stable_sort(workbookRelationships_.begin(), workbookRelationships_.end(), byId);
    readSharedStrings();
}

// The <sheet> elements of the first <sheets> of the workbook, in order.
void XlsxBook::readSheetList(XmlReader& xml)
{
    xml.enterRoot("workbook", "not a workbook");
    const int root = xml.level();
    bool listed = false;
    while (xml.nextChild(root)) {
        if (listed || xml.localName() != "sheets")
            continue;
        listed = true;
        const int list = xml.level();
        while (xml.nextChild(list)) {
            if (xml.localName() != "sheet")
                continue;
            SheetEntry& entry = sheets_.emplace_back();
            if (const std::optional<std::string_view> id = xml.attribute("id"))
                entry.relationshipId.emplace(*id);
        }
    }
    xml.readToEnd();
}

void XlsxBook::readSharedStrings()
{
    const auto table = std::find_if(workbookRelationships_.begin(), workbookRelationships_.end(),
                                    [](const Relationship& r) { return hasType(r, "sharedStrings"); });
    if (table == workbookRelationships_.end())
        return;
    if (table->part.empty())
        throw LoadError{.what = "the shared strings target " + describeTarget(*table) + " lies outside the package",
                        .source = relationshipsPartName(workbookPart_)};
    package_.readXml(table->part, [&](XmlReader& xml) { strings_.read(xml, scanned_); });
}

SheetData* XlsxBook::loadSheet(size_t index)
{
    SheetEntry& entry = sheets_[index];
    if (entry.data)
        return entry.data.get();
    const auto fault = [&](std::string what) {
        return LoadError{
            .what = std::move(what), .source = workbookPart_, .item = "sheet " + std::to_string(index + 1)};
    };
    if (!entry.relationshipId)
        throw fault("no relationship id");
    Relationship key;
    key.id = *entry.relationshipId;
    const auto found =
        std::lower_bound(workbookRelationships_.begin(), workbookRelationships_.end(), key, byId);
    if (found == workbookRelationships_.end() || found->id != key.id)
        throw fault("no relationship '" + quoteForMessage(key.id) + "' in " + relationshipsPartName(workbookPart_));
    if (found->part.empty())
        throw fault("the target " + describeTarget(*found) + " lies outside the package");
    auto data = std::make_unique<SheetData>(&strings_.texts());
    package_.readXml(found->part, [&](XmlReader& xml) { readWorksheet(xml, strings_, *data, scanned_); });
    entry.data = std::move(data);
    return entry.data.get();
}

Sheet* XlsxBook::getSheet(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= sheets_.size())
        return nullptr;
    SheetData* sheet = nullptr;
    ranThrough("sheet " + std::to_string(index + 1), error_,
            [&] { sheet = loadSheet(static_cast<size_t>(index)); });
    return sheet;
}

} // namespace

Book* createXlsxBook(size_t pieceSize, bool scanned) { return new (std::nothrow) XlsxBook(pieceSize, scanned); }

} // namespace xl
