// How the readers of both formats report what stops a load. A reader throws
// a LoadError where it finds the fault, saying what failed and where; the
// book catches it at its edge, through ranThrough(), and keeps its message for
// errorMessage(). Where a fault is, is formatted here alone.
#pragma once

#include "common/cell_reference.h"

#include <cstdint>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <string_view>

namespace xl {

struct LoadError {
    // What failed, in words: "CRC-32 mismatch (data is damaged)".
    std::string what;
    // The part, zip entry or stream in which it failed: "xl/workbook.xml",
    // "zip entry 'xl/styles.xml'", "workbook stream". Empty for the file as
    // a whole.
    std::string source = {};
    // The record, structure or listed item at fault within the source:
    // "LABELSST (0x00FD) at offset 1234", "the directory", "sheet 2".
    std::string item = {};
    // Where in the source the fault is, in bytes, when that is known.
    std::optional<uint64_t> offset = {};
    // The cell whose value is at fault, when `what` does not name it itself.
    std::optional<CellPosition> cell = {};

    // The text of errorMessage(): from the outside in, then what failed and
    // the byte it failed at.
    //   "xl/worksheets/sheet1.xml: cell C1: the value '1e999' is not a number"
    //   "xl/sharedStrings.xml: malformed XML (expected ;) at byte 211"
    std::string message() const;
};

// Runs `step` so that nothing it throws goes further: true when it ran
// through, `message` then left as it was; false with `message` saying why it
// did not. Memory running out, or any exception other than a LoadError,
// fails the reading of `reading` ("the workbook", "sheet 2") all the same.
template <typename Step>
bool ranThrough(std::string_view reading, std::string& message, Step&& step)
{
    try {
        step();
        return true;
    } catch (const LoadError& error) {
        message = error.message();
    } catch (const std::bad_alloc&) {
        message = "out of memory while reading " + std::string(reading);
    } catch (const std::exception& error) {
        message = "reading " + std::string(reading) + " failed: " + error.what();
    }
    return false;
}

} // namespace xl
