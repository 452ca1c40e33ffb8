// The process-wide term table and the host side of loading it: the message
// that tells the user the workbook could not be opened.
#include "shared_dictionary.h"

#include "messages.h"
#include "workbook_loader.h"

namespace {

// Constructed when the module is loaded, before the host calls it.
TermDictionary theTermDictionary;
TermColumns theTermColumns(theTermDictionary);

// "打开Excel失败!找不到dll同级目录下的PelmoraConfig.xlsx。" in code page 936.
constexpr char kOpenFailedMessage[] =
    "\xB4\xF2\xBF\xAA" "Excel" "\xCA\xA7\xB0\xDC" "!"
    "\xD5\xD2\xB2\xBB\xB5\xBD" "dll" "\xCD\xAC\xBC\xB6\xC4\xBF\xC2\xBC\xCF\xC2\xB5\xC4"
    "PelmoraConfig.xlsx" "\xA1\xA3";

} // namespace

TermDictionary& sharedTermDictionary() { return theTermDictionary; }
TermColumns& sharedTermColumns() { return theTermColumns; }

int loadDictionary(std::u16string path, std::u16string startMarker, std::u16string endMarker)
{
    const WorkbookRead read = readDictionaryWorkbook(theTermDictionary, path, startMarker, endMarker, nullptr, &theTermColumns);
    if (read.status == WorkbookStatus::NotOpened)
        displayFormatted(5, kOpenFailedMessage);
    return read.loaded() ? 1 : 0;
}
