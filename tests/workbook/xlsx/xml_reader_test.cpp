// The pull reader on XML written in the test. Each case is read in pieces of
// one byte, a few bytes and more than it holds, so that every token meets the
// edge of a piece somewhere: what it reads, and where it fails, must not
// depend on that.
#include "xlsx/xml_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>

namespace {

using Token = xl::XmlReader::Token;

constexpr size_t kPieceSizes[] = {1, 2, 3, 4, 5, 7, 9, 16, xl::XmlReader::kPieceSize};

xl::XmlReader readerOf(const std::string& bytes, size_t& at, size_t pieceSize)
{
    return xl::XmlReader(
        "part.xml",
        [&bytes, &at](char* out, size_t room) {
            const size_t produced = std::min(room, bytes.size() - at);
            std::memcpy(out, bytes.data() + at, produced);
            at += produced;
            return produced;
        },
        pieceSize);
}

// The message of what `step` throws; empty when it throws nothing.
std::string faultOf(const std::function<void()>& step)
{
    std::string message;
    xl::ranThrough("the part", message, step);
    return message;
}

// The tags of `bytes` with their attributes a, b and id, and the text of each
// element named t (read with readText) in brackets; then the error, if any.
std::string trace(const std::string& bytes, size_t pieceSize)
{
    size_t at = 0;
    xl::XmlReader xml = readerOf(bytes, at, pieceSize);
    std::string out;
    const std::string fault = faultOf([&] {
        for (xml.next(); xml.token() != Token::End; xml.next()) {
            const std::string name(xml.name());
            if (xml.token() == Token::EndTag) {
                out += "</" + name + ">";
                continue;
            }
            out += "<" + name;
            for (const char* attribute : {"a", "b", "id"})
                if (const auto value = xml.attribute(attribute))
                    out += " " + std::string(attribute) + "=" + std::string(*value);
            out += ">";
            if (xml.localName() == "t") {
                std::string text;
                xml.readText(text);
                out += "[" + text + "]</" + std::string(xml.name()) + ">";
            }
        }
    });
    if (fault.empty())
        return out;
    return out + (out.empty() ? "" : " ") + "error: " + fault;
}

struct Case {
    const char* name;
    std::string xml;
    std::string expected;
};

void expectTraces(const std::vector<Case>& cases)
{
    for (const Case& c : cases) {
        for (const size_t pieceSize : kPieceSizes) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(pieceSize));
            EXPECT_EQ(trace(c.xml, pieceSize), c.expected);
        }
    }
}

TEST(XmlReader, DecodesReferencesAsXmlPredefinesThem)
{
    expectTraces({
        {"the five named entities", "<t>&lt;&gt;&amp;&apos;&quot;</t>", "<t>[<>&'\"]</t>"},
        {"character references", "<t>&#65;&#x42;&#x1F363;&#20013;&#x0000000043;</t>",
         "<t>[AB\xF0\x9F\x8D\xA3\xE4\xB8\xAD" "C]</t>"},
        {"unknown names and bare ampersands, left as written", "<t>&unknown; &amp &am;p &</t>",
         "<t>[&unknown; &amp &am;p &]</t>"},
        {"a name cut short by markup", "<t>a&am<!-- -->p;</t>", "<t>[a&amp;]</t>"},
        {"a name cut short by the end of the part", "<x>&am", "<x> error: part.xml: the part ends inside its <x> "
                                                             "element at byte 6"},
        {"in attribute values, in either quotes", "<e a=\"&lt;&#65;&quot;\" b='x\"&apos;y'/>",
         "<e a=<A\" b=x\"'y></e>"},
        {"a code point past Unicode", "<t>ok&#x110000;</t>",
         "<t> error: part.xml: malformed XML (invalid numeric character entity) at byte 5"},
        {"a reference without digits", "<t>&#;</t>",
         "<t> error: part.xml: malformed XML (invalid numeric character entity) at byte 3"},
        {"hex digits in a decimal reference", "<t>&#1a;</t>", "<t> error: part.xml: malformed XML (expected ;) at byte 3"},
        {"a reference that never ends", "<t>&#65</t>", "<t> error: part.xml: malformed XML (expected ;) at byte 3"},
        {"a bad reference in an attribute", "<e a=\"&#xZ;\"/>",
         "error: part.xml: malformed XML (invalid numeric character entity) at byte 6"},
    });
}

TEST(XmlReader, MakesLineEndsLfBeforeDecodingReferences)
{
    expectTraces({
        {"CR LF, CR and CR CR LF", "<t>a\r\nb\rc\r\r\nd\r</t>", "<t>[a\nb\nc\n\nd\n]</t>"},
        {"a CR from a reference stays", "<t>a&#13;&#xD;&#10;b</t>", "<t>[a\r\r\nb]</t>"},
        {"in attribute values and between tags", "<e\r\na='1\r2'>\r\n<t>\r\n</t></e>", "<e a=1\n2><t>[\n]</t></e>"},
        {"offsets count the LF that a CR LF became", "\r\n\r\n<x>\r\n</y>",
         "<x> error: part.xml: malformed XML (invalid closing tag name) at byte 6"},
    });
}

TEST(XmlReader, ReadsTheTextOfAnElementAsItsContent)
{
    expectTraces({
        {"CDATA, taken as written", "<t><![CDATA[<b>&amp;</b>]]]]></t>", "<t>[<b>&amp;</b>]]]</t>"},
        {"CDATA among text", "<t>a<![CDATA[ ]]>b<![CDATA[]]></t>", "<t>[a b]</t>"},
        {"comments and processing instructions left out", "<t>a<!-- x -- y -->b<?pi x?>c</t>", "<t>[abc]</t>"},
        {"blanks alone, all the element holds", "<t>  \t\n </t>", "<t>[  \t\n ]</t>"},
        {"blanks before a comment", "<t> <!-- c --></t>", "<t>[]</t>"},
        {"blanks around a comment", "<t> <!-- c --> </t>", "<t>[]</t>"},
        {"blanks around an element", "<t> <x/> </t>", "<t>[]</t>"},
        {"blanks after CDATA", "<t><![CDATA[]]> </t>", "<t>[]</t>"},
        {"blanks before CDATA", "<t> <![CDATA[x]]></t>", "<t>[x]</t>"},
        {"blanks kept with other text", "<t>\n  a  \n</t>", "<t>[\n  a  \n]</t>"},
        {"a reference to a blank is text", "<t>&#32;</t>", "<t>[ ]</t>"},
        {"the text of elements inside left out", "<t> <x>y</x>z <x>w</x></t>", "<t>[z ]</t>"},
        {"an empty element", "<t/>", "<t>[]</t>"},
        {"an empty element with blanks in its tag", "<t a='1' />", "<t a=1>[]</t>"},
        {"no text", "<t></t>", "<t>[]</t>"},
        {"a long text", "<t>" + std::string(300, 'x') + "</t>", "<t>[" + std::string(300, 'x') + "]</t>"},
    });
}

TEST(XmlReader, MatchesLocalNamesWhateverThePrefix)
{
    expectTraces({
        {"prefixed elements and attributes", "<x:e xmlns:x='u'><x:t r:id='7'>a</x:t><ns2:t>b</ns2:t></x:e>",
         "<x:e><x:t id=7>[a]</x:t><ns2:t>[b]</ns2:t></x:e>"},
        {"the first attribute of a local name counts", "<e r:a='1' a='2'/>", "<e a=1></e>"},
        {"blanks around the equals sign and attributes run together", "<e a = '1'b=\"2\"/>", "<e a=1 b=2></e>"},
        {"an XML declaration, a comment and blanks around the root",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- c -->\n<e/>\n", "<e></e>"},
    });
}

TEST(XmlReader, RefusesMalformedOrHostileXmlSayingWhereItFailed)
{
    std::string deep;
    std::string deepTrace;
    for (int i = 0; i < 257; ++i)
        deep += "<d>";
    for (int i = 0; i < 256; ++i)
        deepTrace += "<d>";
    expectTraces({
        {"a document type declaration", "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY a 'b'>]><x/>",
         "error: part.xml: document type declaration (not accepted) at byte 21"},
        {"an entity declaration alone", "<x><!ENTITY a 'b'></x>", "<x> error: part.xml: markup declaration (not accepted) at byte 3"},
        {"257 levels", deep, deepTrace + " error: part.xml: elements nested more than 256 levels deep at byte 768"},
        {"a mismatched end tag", "<a><b></a>", "<a><b> error: part.xml: malformed XML (invalid closing tag name) at byte 6"},
        {"an end tag without a start", "<a/></a>", "<a></a> error: part.xml: end tag without a start tag at byte 4"},
        {"the part ends inside an element", "<a><b>text", "<a><b> error: part.xml: the part ends inside its <b> element at byte 10"},
        {"an unterminated tag", "<a><b c='1'", "<a> error: part.xml: unterminated tag at byte 3"},
        {"an unterminated attribute value", "<a><b c='1>", "<a> error: part.xml: unterminated attribute value at byte 3"},
        {"an unterminated end tag", "<a></a", "<a> error: part.xml: unterminated end tag at byte 3"},
        {"an unterminated comment", "<a><!-- x -", "<a> error: part.xml: unterminated comment at byte 3"},
        {"an unterminated CDATA section", "<t><![CDATA[x]]", "<t> error: part.xml: unterminated CDATA section at byte 3"},
        {"an unterminated processing instruction", "<?xml x", "error: part.xml: unterminated processing instruction at byte 0"},
        {"an attribute without a value", "<a b>", "error: part.xml: malformed XML (expected =) at byte 4"},
        {"an attribute value without quotes", "<a b=1>", "error: part.xml: malformed XML (expected ' or \") at byte 5"},
        {"a slash inside a tag", "<a / >", "error: part.xml: malformed XML (expected >) at byte 4"},
        {"a '<' that starts no tag", "<a>< b/></a>", "<a> error: part.xml: '<' that starts no tag at byte 3"},
    });
    // A NUL is found as its piece comes in, before or after the tags that
    // precede it: the message is the same.
    for (const size_t pieceSize : kPieceSizes) {
        const std::string nul = trace(std::string("<x>ab\0</x>", 10), pieceSize);
        EXPECT_TRUE(nul.ends_with("error: part.xml: NUL byte (the part is not UTF-8 or UTF-16 text) at byte 5"))
            << pieceSize << ": " << nul;
    }
    // The nesting limit itself is allowed.
    std::string limit;
    for (int i = 0; i < 256; ++i)
        limit += "<d>";
    for (int i = 0; i < 256; ++i)
        limit += "</d>";
    size_t at = 0;
    xl::XmlReader xml = readerOf(limit, at, 5);
    EXPECT_EQ(faultOf([&] { xml.readToEnd(); }), "");
}

// `utf8` as UTF-16 bytes (ASCII only, for the test).
std::string utf16Bytes(std::string_view utf8, bool bigEndian, bool byteOrderMark)
{
    std::string bytes = byteOrderMark ? (bigEndian ? std::string("\xFE\xFF") : std::string("\xFF\xFE")) : "";
    for (const char c : utf8)
        bytes += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    return bytes;
}

TEST(XmlReader, ReadsUtf8WithOrWithoutAByteOrderMarkAndUtf16InEitherOrder)
{
    const std::string doc = "<e a='\r\n'><t>x&#65;\r\n</t></e>";
    const std::string expected = "<e a=\n><t>[xA\n]</t></e>";
    expectTraces({
        {"UTF-8 with a byte order mark", "\xEF\xBB\xBF" + doc, expected},
        {"UTF-16 little-endian with a byte order mark", utf16Bytes(doc, false, true), expected},
        {"UTF-16 big-endian with a byte order mark", utf16Bytes(doc, true, true), expected},
        {"UTF-16 little-endian without", utf16Bytes(doc, false, false), expected},
        {"UTF-16 big-endian without", utf16Bytes(doc, true, false), expected},
        {"UTF-16 with an odd byte at the end, after the root", utf16Bytes("<t>x</t>", false, false) + "z",
         "<t>[x]</t>"},
        {"offsets after a byte order mark", "\xEF\xBB\xBF<a></b>",
         "<a> error: part.xml: malformed XML (invalid closing tag name) at byte 3"},
    });
}

TEST(XmlReader, ReadsTokensLongerThanAPieceInLinearTime)
{
    // A megabyte each of attribute value, comment, CDATA and text, read in
    // pieces of 16 bytes: each is read again from its start after a piece
    // only while it is no longer than what came since.
    const std::string mebi(1 << 20, 'x');
    const std::string doc = "<e a='" + mebi + "'><!--" + mebi + "--><t><![CDATA[" + mebi + "]]>" + mebi + "</t></e>";
    size_t at = 0;
    xl::XmlReader xml = readerOf(doc, at, 16);
    std::string text;
    EXPECT_EQ(faultOf([&] {
                  xml.next();
                  EXPECT_EQ(xml.attribute("a")->size(), mebi.size());
                  ASSERT_TRUE(xml.nextChild(1));
                  xml.readText(text);
                  xml.readToEnd();
              }),
              "");
    EXPECT_EQ(text, mebi + mebi);
}

TEST(XmlReader, WalksChildrenAndFindsElements)
{
    const std::string doc = "<r><a><x/></a><b>t</b><a/></r>";
    for (const size_t pieceSize : kPieceSizes) {
        SCOPED_TRACE(pieceSize);
        size_t at = 0;
        xl::XmlReader xml = readerOf(doc, at, pieceSize);
        std::string children;
        EXPECT_EQ(faultOf([&] {
                      xml.enterRoot("r", "not an r");
                      while (xml.nextChild(1))
                          children += std::string(xml.name()) + std::to_string(xml.level());
                      EXPECT_EQ(xml.token(), Token::EndTag);
                      EXPECT_EQ(xml.name(), "r");
                      xml.readToEnd();
                      EXPECT_FALSE(xml.find("a"));
                  }),
                  "");
        EXPECT_EQ(children, "a2b2a2");

        at = 0;
        xl::XmlReader other = readerOf(doc, at, pieceSize);
        EXPECT_EQ(faultOf([&] { other.enterRoot("workbook", "not a workbook"); }),
                  "part.xml: not a workbook (its root element is <r>)");
    }
}

TEST(XmlReader, RejectsAPartForWhatItMeansAtTheCellOrByteGivenAndStaysFailed)
{
    struct Rejection {
        const char* name;
        std::optional<xl::CellPosition> cell;
        bool atTheTag;
        std::string message;
    };
    const Rejection rejections[] = {
        {"the part alone", std::nullopt, false, "part.xml: what it means is wrong"},
        {"a cell", xl::CellPosition{9, 27}, false, "part.xml: cell AB10: what it means is wrong"},
        {"the byte of the current tag", std::nullopt, true, "part.xml: what it means is wrong at byte 4"},
        {"a cell and a byte", xl::CellPosition{0, 0}, true, "part.xml: cell A1: what it means is wrong at byte 4"},
    };
    const std::string doc = "<r>\n<row/></r>";
    for (const Rejection& rejection : rejections) {
        SCOPED_TRACE(rejection.name);
        size_t at = 0;
        xl::XmlReader xml = readerOf(doc, at, 2);
        EXPECT_EQ(faultOf([&] {
                      xml.enterRoot("r", "not an r");
                      ASSERT_TRUE(xml.nextChild(1));
                      xml.reject("what it means is wrong", rejection.cell,
                                 rejection.atTheTag ? std::optional<uint64_t>(xml.offset()) : std::nullopt);
                  }),
                  rejection.message);
        EXPECT_EQ(faultOf([&] { xml.readToEnd(); }), rejection.message);
    }
}

TEST(XmlReader, PassesOnTheFaultsOfItsSourceAsTheyAre)
{
    const std::string doc = "<r><a>text</a></r>";
    size_t at = 0;
    xl::XmlReader xml(
        "part.xml",
        [&](char* out, size_t room) {
            if (at >= 8)
                throw xl::LoadError{.what = "CRC-32 mismatch (data is damaged)", .source = "zip entry 'part.xml'"};
            const size_t produced = std::min(room, size_t(8) - at);
            std::memcpy(out, doc.data() + at, produced);
            at += produced;
            return produced;
        },
        3);
    const std::string damaged = "zip entry 'part.xml': CRC-32 mismatch (data is damaged)";
    EXPECT_EQ(faultOf([&] { xml.readToEnd(); }), damaged);
    // A reader that failed stays failed.
    EXPECT_EQ(faultOf([&] { xml.next(); }), damaged);
}

} // namespace
