// make_config: builds the dictionary workbook that Pelmora loads beside the
// module (PelmoraConfig.xlsx) from a terms file of English/Chinese pairs.
// It runs on the build machine during the build, also for the Windows build.
//
//   make_config <terms.txt> <PelmoraConfig.xlsx>
//
// The whole terms file is checked before anything is written, so a bad file
// leaves no workbook behind and the build stops with "terms.txt:LINE: what".
// UTF-8 is read with the spreadsheet layer's own codec, compiled in.
#include "utf8.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kSheetName = "Dictionary";
constexpr const char* kTitle = "Pelmora dictionary: one pair a row between the markers, "
                               "column A the English term, column B the Chinese term.";
constexpr const char* kStartMarker = "KQ_FILE_START";
constexpr const char* kEndMarker = "KQ_FILE_END";

struct TermPair {
    std::string english;
    std::string chinese;
    int line = 0;
};

// Carries a finished message: where, then what.
class TermsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// Every such character is in the Basic Multilingual Plane, so one UTF-16
// unit tells.
bool isSpaceOrControl(char16_t c)
{
    return c <= 0x20 || (c >= 0x7F && c <= 0xA0) || c == 0x3000 || c == 0xFEFF;
}

// A term is matched against the name in front of a history entry's number,
// so a digit, '_' or a space inside it could never match.
void checkTerm(std::string_view term, const char* column, const std::string& where)
{
    if (term.empty())
        throw TermsError(where + "the " + column + " term is empty");
    if (const size_t valid = xl::validUtf8Prefix(term); valid != term.size()) {
        char byte[8];
        std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(term[valid]));
        throw TermsError(where + "invalid UTF-8 (byte " + byte + ") at byte " + std::to_string(valid + 1) + " of the " +
                         column + " term");
    }
    const std::u16string text = xl::utf8ToUtf16(term);
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        // "Miter Flange": one blank between words, as CAD systems name features.
        const bool betweenWords = c == u' ' && i > 0 && i + 1 < text.size() && text[i - 1] != u' ';
        if (isSpaceOrControl(c) && !betweenWords)
            throw TermsError(where + "the " + column + " term " + quoted(term) +
                             " contains a space at its edge, two together, or a control character");
        if ((c >= '0' && c <= '9') || c == '_')
            throw TermsError(where + "the " + column + " term " + quoted(term) + " contains '" +
                             static_cast<char>(c) + "': a term is the name before the number, without digits or '_'");
    }
}

std::vector<TermPair> readTerms(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw TermsError(path + ": cannot open the terms file");
    const std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad())
        throw TermsError(path + ": cannot read the terms file");

    std::string_view rest = content;
    constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
    if (rest.starts_with(byteOrderMark))
        rest.remove_prefix(byteOrderMark.size());

    std::vector<TermPair> pairs;
    std::map<std::string, int, std::less<>> lineOfTerm;
    for (int lineNumber = 1; !rest.empty(); ++lineNumber) {
        const size_t newline = rest.find('\n');
        std::string_view line = rest.substr(0, newline);
        rest.remove_prefix(newline == std::string_view::npos ? rest.size() : newline + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.empty() || line.starts_with('#'))
            continue;

        const std::string where = path + ":" + std::to_string(lineNumber) + ": ";
        const auto fields = 1 + std::count(line.begin(), line.end(), '\t');
        if (fields != 2)
            throw TermsError(where + "expected two tab-separated fields, English term then Chinese term, found " +
                             std::to_string(fields));
        const size_t tab = line.find('\t');
        TermPair pair{std::string(line.substr(0, tab)), std::string(line.substr(tab + 1)), lineNumber};
        checkTerm(pair.english, "English", where);
        checkTerm(pair.chinese, "Chinese", where);
        if (pair.english == pair.chinese)
            throw TermsError(where + quoted(pair.english) + " is both the English and the Chinese term");

        for (const std::string& term : {pair.english, pair.chinese}) {
            const auto [known, inserted] = lineOfTerm.try_emplace(term, lineNumber);
            if (!inserted)
                throw TermsError(where + quoted(term) + " appears already on line " + std::to_string(known->second));
        }
        pairs.push_back(std::move(pair));
    }
    return pairs;
}

void writeCell(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t col, const std::string& text, const std::string& where)
{
    const lxw_error error = worksheet_write_string(sheet, row, col, text.c_str(), nullptr);
    if (error != LXW_NO_ERROR)
        throw TermsError(where + "cannot put " + quoted(text) + " into the workbook: " + lxw_strerror(error));
}

void writeWorkbook(const std::vector<TermPair>& pairs, const std::string& termsPath, const std::string& outputPath)
{
    lxw_workbook* workbook = workbook_new(outputPath.c_str());
    if (!workbook)
        throw TermsError(outputPath + ": cannot start the workbook");
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, kSheetName);
    std::string failure;
    try {
        if (!sheet)
            throw TermsError(outputPath + ": cannot add the sheet '" + kSheetName + "'");
        worksheet_set_column(sheet, 0, 0, 24, nullptr);
        worksheet_set_column(sheet, 1, 1, 16, nullptr);
        lxw_row_t row = 0;
        writeCell(sheet, row++, 0, kTitle, outputPath + ": ");
        writeCell(sheet, row++, 0, kStartMarker, outputPath + ": ");
        for (const TermPair& pair : pairs) {
            const std::string where = termsPath + ":" + std::to_string(pair.line) + ": ";
            writeCell(sheet, row, 0, pair.english, where);
            writeCell(sheet, row, 1, pair.chinese, where);
            ++row;
        }
        writeCell(sheet, row, 0, kEndMarker, outputPath + ": ");
    } catch (const TermsError& error) {
        failure = error.what();
    }
    // Closing also frees the workbook, so it happens on failure too; the
    // half-made file is then removed rather than left for the build to trust.
    const lxw_error closeError = workbook_close(workbook);
    if (failure.empty() && closeError != LXW_NO_ERROR)
        failure = outputPath + ": cannot write the workbook: " + lxw_strerror(closeError);
    if (!failure.empty()) {
        std::remove(outputPath.c_str());
        throw TermsError(failure);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <terms.txt> <PelmoraConfig.xlsx>\n", argc > 0 ? argv[0] : "make_config");
        return 2;
    }
    try {
        const std::vector<TermPair> pairs = readTerms(argv[1]);
        writeWorkbook(pairs, argv[1], argv[2]);
        std::printf("%s: %zu pairs\n", argv[2], pairs.size());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
