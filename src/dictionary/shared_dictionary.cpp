// The process-wide term table and the host side of loading it: the messages
// that tell the user the workbook could not be opened, or holds no names.
#include "shared_dictionary.h"

#include "messages.h"
#include "text.h"
#include "utf8.h"
#include "workbook_loader.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string_view>

namespace {

// Constructed when the module is loaded, before the host calls it.
TermDictionary theTermDictionary;
TermColumns theTermColumns(theTermDictionary);

// "打开Excel失败!找不到dll同级目录下的PelmoraConfig.xlsx。", shown in the host's
// code page where it holds the text (in code page 936 these are the bytes
// the message has always had), and in ASCII English elsewhere.
constexpr std::u16string_view kOpenFailedChinese =
    u"\u6253\u5F00Excel\u5931\u8D25!\u627E\u4E0D\u5230dll\u540C\u7EA7\u76EE\u5F55\u4E0B\u7684PelmoraConfig.xlsx\u3002";
constexpr char kOpenFailedEnglish[] = "Opening Excel failed! Could not open PelmoraConfig.xlsx in the folder of the dll.";

// `utf8` in the host's code page where it holds it exactly; otherwise in
// ASCII, each other character as \uXXXX, so that no message is garbled.
std::string hostText(std::string_view utf8)
{
    const std::u16string wide = xl::utf8ToUtf16(utf8);
    if (std::optional<std::string> narrow = wideToNarrowExact(wide))
        return *narrow;
    std::string ascii;
    for (char16_t unit : wide) {
        if (unit < 0x80) {
            ascii += static_cast<char>(unit);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(unit));
            ascii += escape;
        }
    }
    return ascii;
}

bool fileExists(const std::u16string& path)
{
    std::error_code ignored;
    return std::filesystem::is_regular_file(std::filesystem::path(path), ignored);
}

// The workbook opened, but no names will change: say what to check.
void reportNothingToRead(const WorkbookRead& read)
{
    switch (read.status) {
    case WorkbookStatus::NoSheet:
        displayFormatted(4, "PelmoraConfig.xlsx: the workbook has no sheet: no names will change.");
        break;
    case WorkbookStatus::NoStartMarker:
        displayFormatted(4, "PelmoraConfig.xlsx: no KQ_FILE_START in column A of the first sheet: no names will change.");
        break;
    case WorkbookStatus::Loaded:
    case WorkbookStatus::NoEndMarker:
        if (read.pairsEntered == 0)
            displayFormatted(4, "PelmoraConfig.xlsx: no pair of terms after KQ_FILE_START in columns A and B of the "
                                "first sheet: no names will change.");
        break;
    case WorkbookStatus::NotOpened: break;
    }
}

} // namespace

TermDictionary& sharedTermDictionary() { return theTermDictionary; }
TermColumns& sharedTermColumns() { return theTermColumns; }

int loadDictionary(std::u16string path, std::u16string startMarker, std::u16string endMarker)
{
    const WorkbookRead read = readDictionaryWorkbook(theTermDictionary, path, startMarker, endMarker, nullptr, &theTermColumns);
    if (read.status == WorkbookStatus::NotOpened) {
        const std::optional<std::string> chinese = wideToNarrowExact(kOpenFailedChinese);
        displayFormatted(5, "%s", chinese ? chinese->c_str() : kOpenFailedEnglish);
        // The file is there, so it is not missing: say what is wrong with it.
        if (fileExists(path))
            showText(5, hostText("not a workbook that the plug-in can read: " + read.openError));
    } else {
        reportNothingToRead(read);
    }
    return read.loaded() ? 1 : 0;
}
