// The dictionary workbook loader. The book is released on every path out.
#include "workbook_loader.h"

#include "messages.h"
#include "module_file.h"
#include "text.h"

#include <cstdio>
#include <memory>
#include <string_view>

namespace {

// "打开Excel失败!找不到dll同级目录下的PelmoraConfig.xlsx。" in code page 936.
constexpr char kOpenFailedMessage[] =
    "\xB4\xF2\xBF\xAA" "Excel" "\xCA\xA7\xB0\xDC" "!"
    "\xD5\xD2\xB2\xBB\xB5\xBD" "dll" "\xCD\xAC\xBC\xB6\xC4\xBF\xC2\xBC\xCF\xC2\xB5\xC4"
    "PelmoraConfig.xlsx" "\xA1\xA3";

struct BookRelease {
    void operator()(xl::Book* book) const { book->release(); }
};
using BookHandle = std::unique_ptr<xl::Book, BookRelease>;

bool isBinaryBookExtension(std::u16string_view extension)
{
    constexpr std::u16string_view kXls = u".xls";
    if (extension.size() != kXls.size())
        return false;
    for (size_t i = 0; i < kXls.size(); ++i) {
        char16_t c = extension[i];
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != kXls[i])
            return false;
    }
    return true;
}

// The cell's string, copied at once into `text` (whose room is reused).
void readString(xl::Sheet* sheet, int row, int col, std::u16string& text)
{
    const char16_t* string = sheet->readStr(row, col, nullptr);
    if (string)
        text.assign(string);
    else
        text.clear();
}

// The start marker's row among the first rows of column A, or -1.
int findStartMarker(xl::Sheet* sheet, const std::u16string& marker, LoadObserver* observer)
{
    std::u16string text;
    for (int row = 0; row <= kLastStartMarkerRow; ++row) {
        readString(sheet, row, 0, text);
        if (observer)
            observer->markerCandidate(row, text.c_str());
        if (text == marker)
            return row;
    }
    return -1;
}

} // namespace

xl::Book* createBookFor(std::u16string_view path)
{
    return isBinaryBookExtension(findExtension(path)) ? xl::xlCreateBookW() : xl::xlCreateXMLBookW();
}

std::u16string trimNumberText(std::u16string text)
{
    if (text.find(u'.') != std::u16string::npos) {
        while (!text.empty() && text.back() == u'0')
            text.pop_back();
        if (!text.empty() && text.back() == u'.')
            text.pop_back();
    }
    return text;
}

int readCellText(xl::Sheet* sheet, int row, int col, std::u16string& text, LoadObserver* observer)
{
    if (sheet->cellType(row, col) == xl::CELLTYPE_NUMBER) {
        double value = sheet->readNum(row, col, nullptr);
        // Fixed notation of the largest double takes 309 digits and the decimals.
        char rendering[400];
        std::snprintf(rendering, sizeof rendering, "%lf", value);
        text = trimNumberText(narrowToWide(rendering));
        if (observer)
            observer->numberCell(row, col, value, text);
    } else {
        readString(sheet, row, col, text);
    }
    return 1;
}

int loadDictionaryInto(TermDictionary& dictionary, const std::u16string& path, const std::u16string& startMarker,
                       const std::u16string& endMarker, LoadObserver* observer)
{
    BookHandle book(createBookFor(path));
    if (!book || !book->load(path.c_str(), nullptr)) {
        if (observer)
            observer->openFailed(book ? book->errorMessage() : "no book could be created");
        displayFormatted(5, kOpenFailedMessage);
        return 0;
    }
    xl::Sheet* sheet = book->getSheet(0);
    if (sheet == nullptr) {
        if (observer)
            observer->noFirstSheet();
        return 0;
    }
    int startRow = findStartMarker(sheet, startMarker, observer);
    if (startRow < 0) {
        if (observer)
            observer->startMarkerMissing();
        return 0;
    }
    if (observer)
        observer->startMarkerFound(startRow);

    // Without an end marker the region ends with the sheet's last used row.
    int lastRow = sheet->lastRow();
    std::u16string first;
    std::u16string second;
    for (int row = startRow + 1; row < lastRow; ++row) {
        readCellText(sheet, row, 0, first, observer);
        readCellText(sheet, row, 1, second, observer);
        if (first == endMarker) {
            if (observer)
                observer->endMarkerFound(row);
            return 1;
        }
        bool complete = !first.empty() && !second.empty();
        if (complete) {
            dictionary.set(first, second);
            dictionary.set(second, first);
        }
        if (observer)
            observer->pairRow(row, first, second, complete);
    }
    if (observer)
        observer->endMarkerMissing(lastRow - startRow - 1 > 0 ? lastRow - startRow - 1 : 0);
    return 0;
}

int loadDictionary(std::u16string path, std::u16string startMarker, std::u16string endMarker)
{
    return loadDictionaryInto(sharedTermDictionary(), path, startMarker, endMarker);
}
