// Benchmark inputs; see bench_data.h.
#include "bench_data.h"

#include "text.h"
#include "utf8.h"

#include <xlsxwriter.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <utility>

namespace {

// Letters for a number in base 26: 0 is "a", 26 is "ba".
std::u16string lettersFor(int index)
{
    std::u16string letters;
    do {
        letters.insert(letters.begin(), static_cast<char16_t>(u'a' + index % 26));
        index /= 26;
    } while (index > 0);
    return letters;
}

// A CJK ideograph whose GBK form has no '_' as its trail byte, chosen by number.
char16_t ideograph(int index)
{
    static const std::vector<char16_t> usable = [] {
        const char* current = std::setlocale(LC_ALL, nullptr);
        std::string previous = current ? current : "C";
        switchLocale(Setting::Chinese);
        std::vector<char16_t> chars;
        for (char16_t c = 0x4E00; c < 0x9FA5; ++c) {
            std::string narrow = wideToNarrow(std::u16string(1, c));
            if (narrow.size() == 2 && narrow[1] != '_')
                chars.push_back(c);
        }
        std::setlocale(LC_ALL, previous.c_str());
        return chars;
    }();
    return usable[static_cast<size_t>(index) % usable.size()];
}

void fail(const char* what, const std::string& where)
{
    std::fprintf(stderr, "bench: %s: %s\n", what, where.c_str());
    std::abort();
}

} // namespace

void switchLocale(Setting setting)
{
    const char* locale = setting == Setting::Chinese ? "zh_CN.GBK" : "en_US.CP1252";
    if (std::setlocale(LC_ALL, locale) == nullptr)
        fail("locale missing (run scripts/setup.sh)", locale);
}

std::u16string englishTerm(int index)
{
    static const char16_t* const kStems[] = {u"Extrude", u"Sketch", u"Fillet", u"Chamfer", u"Hole", u"Revolve",
                                             u"Shell", u"Pattern", u"Mirror", u"Plane"};
    return kStems[index % 10] + lettersFor(index / 10);
}

std::u16string counterpartTerm(int index, Setting setting)
{
    if (setting == Setting::Western) {
        static const char16_t* const kStems[] = {u"Extrusion", u"Skizze", u"Rundung", u"Fase", u"Bohrung",
                                                 u"Drehung", u"Schale", u"Muster", u"Spiegel", u"Ebene"};
        return kStems[index % 10] + std::u16string(u"\u00E9") + lettersFor(index / 10);
    }
    // Two ideographs, or three from the 1000th term on: every index its own term.
    std::u16string term{ideograph(index % 1000), ideograph(1000 + index / 1000 * 7 + index % 7)};
    if (index >= 1000)
        term += ideograph(2000 + index / 7);
    return term;
}

TermDictionary makeDictionary(int pairs, Setting setting)
{
    TermDictionary dictionary;
    for (int i = 0; i < pairs; ++i) {
        std::u16string term = englishTerm(i);
        std::u16string counterpart = counterpartTerm(i, setting);
        dictionary.set(term, counterpart);
        dictionary.set(counterpart, term);
    }
    if (dictionary.size() != static_cast<size_t>(2 * pairs))
        fail("terms are not distinct", std::to_string(pairs) + " pairs");
    return dictionary;
}

std::vector<std::string> makeNames(int count, int pairs, Setting setting)
{
    std::mt19937 random(20261210);
    auto term = [&](bool counterpart) {
        int index = static_cast<int>(random() % static_cast<unsigned>(pairs));
        return wideToNarrow(counterpart ? counterpartTerm(index, setting) : englishTerm(index));
    };
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        bool counterpart = random() % 2 == 1;
        std::string number = std::to_string(1 + random() % 300);
        unsigned kind = random() % 100;
        if (kind < 40)
            names.push_back(term(counterpart) + number);
        else if (kind < 75)
            names.push_back(term(counterpart) + number + "_" + term(counterpart));
        else if (kind < 85)
            names.push_back("Imported" + number + "_Body");
        else if (kind < 95)
            names.push_back(term(counterpart) + "_Origin");
        else
            names.push_back(std::string(counterpart ? "\xC4\xAC\xC8\xCF" "CSYS" : "Default CSYS"));
    }
    return names;
}

namespace {

// The workbook `name` under the build's bench-data folder, with `pairs` rows
// of terms(i) between the markers, written on first use.
template <typename Terms>
std::string cachedWorkbook(const std::string& name, int pairs, Terms terms)
{
    std::filesystem::path folder = PELMORA_BENCH_DATA_DIR;
    std::filesystem::create_directories(folder);
    std::string path = (folder / name).string();
    if (std::filesystem::exists(path))
        return path;
    std::string partial = path + ".partial";
    lxw_workbook* workbook = workbook_new(partial.c_str());
    lxw_worksheet* sheet = workbook ? workbook_add_worksheet(workbook, "Dictionary") : nullptr;
    if (sheet == nullptr)
        fail("cannot write", partial);
    worksheet_write_string(sheet, 0, 0, "KQ_FILE_START", nullptr);
    for (int i = 0; i < pairs; ++i) {
        auto row = static_cast<lxw_row_t>(i + 1);
        const auto [first, second] = terms(i);
        worksheet_write_string(sheet, row, 0, first.c_str(), nullptr);
        worksheet_write_string(sheet, row, 1, second.c_str(), nullptr);
    }
    worksheet_write_string(sheet, static_cast<lxw_row_t>(pairs + 1), 0, "KQ_FILE_END", nullptr);
    if (workbook_close(workbook) != LXW_NO_ERROR)
        fail("cannot write", partial);
    std::filesystem::rename(partial, path);
    return path;
}

} // namespace

std::string dictionaryWorkbook(int pairs)
{
    return cachedWorkbook("dictionary-" + std::to_string(pairs) + ".xlsx", pairs, [](int i) {
        return std::pair{xl::utf16ToUtf8(englishTerm(i)), xl::utf16ToUtf8(counterpartTerm(i, Setting::Chinese))};
    });
}

std::string uniqueTermsWorkbook(int pairs)
{
    static const char* const kEnglish[] = {"Alpha", "Beta", "Gamma", "Delta", "Epsilon",
                                           "Zeta", "Eta", "Theta", "Iota", "Kappa"};
    static const char* const kChinese[] = {"甲", "乙", "丙", "丁", "戊", "己", "庚", "辛", "壬", "癸"};
    return cachedWorkbook("dictionary-unique-" + std::to_string(pairs) + ".xlsx", pairs, [](int i) {
        const std::string number = std::to_string(i);
        return std::pair{"Term" + number + kEnglish[i % 10], "术语" + number + kChinese[i % 10]};
    });
}
