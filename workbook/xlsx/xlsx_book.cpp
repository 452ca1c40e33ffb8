// The XML book: finds the workbook part through the package relationships,
// its sheets through the workbook's relationships (by r:id, in workbook
// order), reads the shared strings and the first sheet on load, and other
// sheets when they are asked for. The whole file is held in memory; the
// `tempFile` argument of load is not needed and not used.
#include "xlsx/xlsx_book.h"

#include "common/file_reader.h"

#include "xlsx/opc_package.h"
#include "common/sheet_data.h"
#include "common/quote.h"
#include "xlsx/xlsx_sheet.h"
#include "xlsx/xml_reader.h"

#include <algorithm>
#include <cstring>
#include <exception>
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
    explicit XlsxBook(size_t pieceSize) : package_(pieceSize) {}

    bool load(const char16_t* path, const char16_t* tempFile) override;
    bool loadRaw(const char* data, unsigned size) override;
    Sheet* getSheet(int index) override;
    void release() override { delete this; }
    const char* errorMessage() const override { return error_.c_str(); }

private:
    template <typename Step>
    bool guarded(Step step);
    bool open(std::string& bytes);
    bool readWorkbook();
    bool readSheetList(XmlReader& xml);
    bool readSharedStrings();
    SheetData* loadSheet(size_t index);
    void clear();
    bool fail(std::string message)
    {
        clear();
        error_ = std::move(message);
        return false;
    }

    Package package_;
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

// Runs a load so that nothing escapes it: memory running out ends the load
// cleanly, as would anything else thrown.
template <typename Step>
bool XlsxBook::guarded(Step step)
{
    try {
        clear();
        return step();
    } catch (const std::bad_alloc&) {
        return fail("out of memory while reading the workbook");
    } catch (const std::exception& e) {
        return fail(std::string("reading the workbook failed: ") + e.what());
    }
}

bool XlsxBook::load(const char16_t* path, const char16_t*)
{
    return guarded([&] {
        std::string bytes;
        std::string error;
        if (!readWholeFile(path, Package::kMaxFileSize, bytes, error))
            return fail(error);
        return open(bytes);
    });
}

bool XlsxBook::loadRaw(const char* data, unsigned size)
{
    return guarded([&] {
        if (!data && size)
            return fail("no workbook data given");
        std::string bytes(data ? data : "", size);
        return open(bytes);
    });
}

bool XlsxBook::open(std::string& bytes)
{
    if (std::string_view(bytes).starts_with(kCompoundFileSignature))
        return fail("the file is an OLE compound document (a password-protected workbook or a legacy .xls "
                    "file), not an .xlsx package");
    std::string error;
    std::vector<Relationship> relationships;
    if (!package_.open(std::move(bytes), error) || !package_.readRelationships("", relationships, error))
        return fail(error);
    const Relationship* document = nullptr;
    for (const Relationship& relationship : relationships)
        if (hasType(relationship, "officeDocument")) {
            document = &relationship;
            break;
        }
    if (!document)
        return fail(relationshipsPartName("") + ": no officeDocument relationship names the workbook part");
    if (document->part.empty())
        return fail(relationshipsPartName("") + ": the workbook target " + describeTarget(*document) +
                    " lies outside the package");
    workbookPart_ = document->part;
    if (!readWorkbook())
        return false;
    if (!loadSheet(0))
        return fail(error_);
    error_.clear();
    return true;
}

bool XlsxBook::readWorkbook()
{
    std::string error;
    if (!package_.readXml(workbookPart_, [&](XmlReader& xml) { return readSheetList(xml); }, error) ||
        !package_.readRelationships(workbookPart_, workbookRelationships_, error))
        return fail(error);
    if (sheets_.empty())
        return fail(workbookPart_ + ": the workbook lists no sheets");
    // Of relationships with one id, the first counts.
    std::stable_sort(workbookRelationships_.begin(), workbookRelationships_.end(), byId);
    return readSharedStrings();
}

// The <sheet> elements of the first <sheets> of the workbook, in order.
bool XlsxBook::readSheetList(XmlReader& xml)
{
    if (!xml.enterRoot("workbook", "not a workbook"))
        return false;
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
    return xml.readToEnd();
}

bool XlsxBook::readSharedStrings()
{
    for (const Relationship& relationship : workbookRelationships_) {
        if (!hasType(relationship, "sharedStrings"))
            continue;
        if (relationship.part.empty())
            return fail(relationshipsPartName(workbookPart_) + ": the shared strings target " +
                        describeTarget(relationship) + " lies outside the package");
        std::string error;
        if (!package_.readXml(relationship.part, [&](XmlReader& xml) { return strings_.read(xml); }, error))
            return fail(error);
        break;
    }
    return true;
}

SheetData* XlsxBook::loadSheet(size_t index)
{
    SheetEntry& entry = sheets_[index];
    if (entry.data)
        return entry.data.get();
    const std::string where = workbookPart_ + ": sheet " + std::to_string(index + 1);
    if (!entry.relationshipId) {
        error_ = where + " has no relationship id";
        return nullptr;
    }
    Relationship key;
    key.id = *entry.relationshipId;
    const auto found =
        std::lower_bound(workbookRelationships_.begin(), workbookRelationships_.end(), key, byId);
    if (found == workbookRelationships_.end() || found->id != key.id) {
        error_ = where + ": no relationship '" + quoteForMessage(key.id) + "' in " +
                 relationshipsPartName(workbookPart_);
        return nullptr;
    }
    if (found->part.empty()) {
        error_ = where + ": the target " + describeTarget(*found) + " lies outside the package";
        return nullptr;
    }
    auto data = std::make_unique<SheetData>(&strings_.texts());
    if (!package_.readXml(found->part, [&](XmlReader& xml) { return readWorksheet(xml, strings_, *data); }, error_))
        return nullptr;
    entry.data = std::move(data);
    return entry.data.get();
}

Sheet* XlsxBook::getSheet(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= sheets_.size())
        return nullptr;
    try {
        return loadSheet(static_cast<size_t>(index));
    } catch (const std::bad_alloc&) {
        error_ = "out of memory while reading sheet " + std::to_string(index + 1);
    } catch (const std::exception& e) {
        error_ = "reading sheet " + std::to_string(index + 1) + " failed: " + e.what();
    }
    return nullptr;
}

} // namespace

Book* createXlsxBook(size_t pieceSize) { return new (std::nothrow) XlsxBook(pieceSize); }

} // namespace xl
