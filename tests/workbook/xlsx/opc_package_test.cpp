// The package layer read directly: where a relationship's target leads from
// the part that names it, where a part's relationships live, and the
// relationships of a package built in the test, read a byte at a time and
// all at once.
#include "common/load_error.h"
#include "xlsx/opc_package.h"
#include "xlsx/xml_reader.h"
#include "zip_builder.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>

namespace {

struct Resolution {
    const char* source;
    const char* target;
    std::optional<std::string> part; // null: outside the package
};

TEST(ResolveTarget, LeadsFromTheFolderOfTheSourceOrFromTheRoot)
{
    const Resolution cases[] = {
        {"xl/workbook.xml", "worksheets/sheet1.xml", "xl/worksheets/sheet1.xml"},
        {"", "xl/workbook.xml", "xl/workbook.xml"},
        {"xl/workbook.xml", "/xl/worksheets/sheet1.xml", "xl/worksheets/sheet1.xml"},
        {"xl/worksheets/sheet1.xml", "../drawings/drawing1.xml", "xl/drawings/drawing1.xml"},
        {"xl/workbook.xml", "../docProps/app.xml", "docProps/app.xml"},
        {"xl/workbook.xml", "./worksheets/./sheet1.xml", "xl/worksheets/sheet1.xml"},
        {"xl/workbook.xml", "worksheets//sheet1.xml", "xl/worksheets/sheet1.xml"},
        {"xl/workbook.xml", "worksheets/../../sheet1.xml", "sheet1.xml"},
        {"xl/workbook.xml", "worksheets\\sheet1.xml", "xl/worksheets/sheet1.xml"},
        {"xl/workbook.xml", "work%20sheets/sheet%31.xml", "xl/work sheets/sheet1.xml"},
        {"xl/workbook.xml", "sheet%2", "xl/sheet%2"},
        {"xl/workbook.xml", "sheet%zz.xml", "xl/sheet%zz.xml"},
        {"xl/workbook.xml", ":sheet.xml", "xl/:sheet.xml"},
        {"xl/workbook.xml", "1a:sheet.xml", "xl/1a:sheet.xml"},
    };
    for (const Resolution& c : cases)
        EXPECT_EQ(xl::resolveTarget(c.source, c.target), c.part) << c.source << " -> " << c.target;
}

TEST(ResolveTarget, FindsNoPartOutsideThePackage)
{
    const Resolution cases[] = {
        {"xl/workbook.xml", "../../etc/passwd", std::nullopt},
        {"xl/workbook.xml", "/../sheet1.xml", std::nullopt},
        {"", "../sheet1.xml", std::nullopt},
        {"xl/workbook.xml", "%2e%2e/%2E%2E/etc/passwd", std::nullopt},
        {"xl/workbook.xml", "file:///C:/Windows/win.ini", std::nullopt},
        {"xl/workbook.xml", "http://example.invalid/sheet1.xml", std::nullopt},
        {"xl/workbook.xml", "C:\\Windows\\win.ini", std::nullopt},
        {"xl/workbook.xml", "x-scheme+1.0:sheet1.xml", std::nullopt},
    };
    for (const Resolution& c : cases)
        EXPECT_EQ(xl::resolveTarget(c.source, c.target), c.part) << c.source << " -> " << c.target;
}

TEST(RelationshipsPartName, IsBesideTheSourceInItsRelsFolder)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", "_rels/.rels"},
        {"xl/workbook.xml", "xl/_rels/workbook.xml.rels"},
        {"xl/worksheets/sheet1.xml", "xl/worksheets/_rels/sheet1.xml.rels"},
        {"book.xml", "_rels/book.xml.rels"},
    };
    for (const auto& [source, expected] : cases)
        EXPECT_EQ(xl::relationshipsPartName(source), expected) << source;
}

// The relationships of `source` in a package that holds `parts`, as
// "id type target -> part" lines; or the message of the load error.
std::string relationshipsOf(const std::vector<fixture::ZipEntry>& parts, const char* source, size_t pieceSize)
{
    xl::Package package(pieceSize);
    std::string out;
    std::string message;
    if (!xl::ranThrough("the package", message, [&] {
            package.open(fixture::buildZip(parts));
            for (const xl::Relationship& r : package.readRelationships(source))
                out += r.id + " " + r.type + " " + r.target + " -> " + r.part + "\n";
        }))
        return message;
    return out;
}

TEST(Package, ReadsRelationshipsAndNamesEachFault)
{
    struct Case {
        const char* name;
        std::vector<fixture::ZipEntry> parts;
        const char* source;
        std::string expected;
    };
    const Case cases[] = {
        {"of the package",
         {{"_rels/.rels", "<Relationships xmlns='r'><Relationship Id='rId1' Type='t/officeDocument' "
                          "Target='xl/workbook.xml'/></Relationships>"}},
         "",
         "rId1 t/officeDocument xl/workbook.xml -> xl/workbook.xml\n"},
        {"of a part, in order, an external one without a part",
         {{"xl/_rels/workbook.xml.rels",
           "<?xml version='1.0'?><x:Relationships xmlns:x='r'>"
           "<x:Relationship Id='rId2' Type='t/worksheet' Target='worksheets/sheet2.xml'/>"
           "<x:Relationship Id='rId1' Type='t/worksheet' Target='/xl/worksheets/sheet1.xml'/>"
           "<x:Relationship Id='rId3' Type='t/hyperlink' Target='http://example.invalid/' TargetMode='External'/>"
           "<x:Relationship Id='rId4' Type='t/worksheet' Target='../../outside.xml'/>"
           "<x:Other Id='rId5'/></x:Relationships>"}},
         "xl/workbook.xml",
         "rId2 t/worksheet worksheets/sheet2.xml -> xl/worksheets/sheet2.xml\n"
         "rId1 t/worksheet /xl/worksheets/sheet1.xml -> xl/worksheets/sheet1.xml\n"
         "rId3 t/hyperlink http://example.invalid/ -> \n"
         "rId4 t/worksheet ../../outside.xml -> \n"},
        {"none", {{"xl/_rels/workbook.xml.rels", "<Relationships/>"}}, "xl/workbook.xml", ""},
        {"a relationship part that is missing",
         {{"_rels/.rels", "<Relationships/>"}},
         "xl/workbook.xml",
         "xl/_rels/workbook.xml.rels: part is missing from the package"},
        {"a part that holds no relationships",
         {{"_rels/.rels", "<Types/>"}},
         "",
         "_rels/.rels: not a relationship part (its root element is <Types>)"},
        {"a relationship part that is not XML",
         {{"_rels/.rels", "<Relationships><Relationship Id='rId1'></Relationships>"}},
         "",
         "_rels/.rels: malformed XML (invalid closing tag name) at byte 39"},
        {"a relationship part whose data is damaged",
         {[] {
             fixture::ZipEntry entry("_rels/.rels", "<Relationships/>");
             entry.declaredCrc = 1;
             return entry;
         }()},
         "",
         "zip entry '_rels/.rels': CRC-32 mismatch (data is damaged)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const size_t pieceSize : {size_t(1), xl::XmlReader::kPieceSize})
            EXPECT_EQ(relationshipsOf(c.parts, c.source, pieceSize), c.expected) << "pieces of " << pieceSize;
    }
}

} // namespace
