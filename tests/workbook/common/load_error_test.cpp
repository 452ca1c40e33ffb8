// The one form of the messages of a failed load, and the wrapper that keeps
// whatever a load throws inside the book.
#include "common/load_error.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>

namespace {

TEST(LoadError, SaysWhereFromTheOutsideInThenWhatFailedAndTheByte)
{
    struct Case {
        const char* name;
        xl::LoadError error;
        std::string message;
    };
    const Case cases[] = {
        {"what alone", {.what = "not a zip archive: 0 bytes is too short"}, "not a zip archive: 0 bytes is too short"},
        {"a part", {.what = "part is missing from the package", .source = "xl/workbook.xml"},
         "xl/workbook.xml: part is missing from the package"},
        {"an item in a part", {.what = "no relationship id", .source = "xl/workbook.xml", .item = "sheet 2"},
         "xl/workbook.xml: sheet 2: no relationship id"},
        {"an item alone", {.what = "no relationship id", .item = "sheet 2"}, "sheet 2: no relationship id"},
        {"a byte", {.what = "malformed XML (expected ;)", .source = "xl/sharedStrings.xml", .offset = 211},
         "xl/sharedStrings.xml: malformed XML (expected ;) at byte 211"},
        {"byte 0", {.what = "unterminated processing instruction", .source = "a.xml", .offset = 0},
         "a.xml: unterminated processing instruction at byte 0"},
        {"a cell",
         {.what = "the value '1e999' is not a number",
          .source = "xl/worksheets/sheet1.xml",
          .cell = xl::CellPosition{0, 2}},
         "xl/worksheets/sheet1.xml: cell C1: the value '1e999' is not a number"},
        {"all of them",
         {.what = "the string's characters run past the end of the data",
          .source = "workbook stream",
          .item = "LABEL (0x0204) at offset 62",
          .offset = 78,
          .cell = xl::CellPosition{1048575, 16383}},
         "workbook stream: LABEL (0x0204) at offset 62: cell XFD1048576: the string's characters run past the end of "
         "the data at byte 78"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.error.message(), c.message);
    }
}

TEST(RanThrough, LetsNothingThroughAndSaysWhatFailed)
{
    struct Case {
        const char* name;
        std::function<void()> step;
        bool ranThrough;
        std::string message;
    };
    const Case cases[] = {
        {"nothing thrown: the message is left as it was", [] {}, true, "earlier"},
        {"a LoadError", [] { throw xl::LoadError{.what = "CRC-32 mismatch", .source = "zip entry 'a'"}; }, false,
         "zip entry 'a': CRC-32 mismatch"},
        {"memory running out", [] { throw std::bad_alloc(); }, false, "out of memory while reading sheet 2"},
        {"any other exception", [] { throw std::length_error("vector too long"); }, false,
         "reading sheet 2 failed: vector too long"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string message = "earlier";
        EXPECT_EQ(xl::ranThrough("sheet 2", message, c.step), c.ranThrough);
        EXPECT_EQ(message, c.message);
    }
}

} // namespace
