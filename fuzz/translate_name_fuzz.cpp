// Fuzz target for the naming rule, in code pages 936 and 1252. Each input is a
// history name; the run aborts when the rule breaks one of its promises:
//   - the same name gives the same result every time;
//   - a name that fits no pattern comes back byte for byte;
//   - with a dictionary whose terms each stand in one pair, hold no digit and
//     no '_' and survive the code page, a name of valid text translated twice
//     comes back byte for byte; except, outside code page 936, the 936 bytes
//     of the coordinate system's Chinese name, which turn into "Default CSYS"
//     for good (what earlier versions wrote in a Western model, healed).
#include "text.h"
#include "translate_name.h"

#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::u16string_view, std::u16string_view>>;

// The GBK forms of these Chinese terms hold no byte 0x30-0x39 or 0x5F.
const Pairs kChinesePairs = {
    {u"Extrude", u"拉伸"}, {u"Sketch", u"草图"}, {u"Fillet", u"圆角"},
    {u"Chamfer", u"倒角"}, {u"Hole", u"孔"},     {u"Revolve", u"旋转"},
};
const Pairs kWesternPairs = {
    {u"Extrude", u"Extrusion"}, {u"Sketch", u"Skizze"}, {u"Surface", u"Fläche"},
    {u"Fillet", u"Rundung"},    {u"Hole", u"Bohrung"},  {u"Plane", u"Ebene"},
};
// Terms that break the round trip's conditions: shared by two pairs, holding
// digits, underscores or characters the code page lacks. Only the first two
// promises hold for them.
const Pairs kAwkwardPairs = {
    {u"Extrude", u"拉伸"}, {u"Boss", u"拉伸"}, {u"A_B", u"C"}, {u"Cut2x", u"切"},
    {u"Default CSYS", u"x"}, {u"Ä", u"ß"}, {u"\uFFFD", u"?"},
};

[[noreturn]] void fail(const char* what, std::string_view name)
{
    std::fprintf(stderr, "translate_name_fuzz: %s in %s for a name of %zu bytes:", what,
                 std::setlocale(LC_CTYPE, nullptr), name.size());
    for (unsigned char byte : name)
        std::fprintf(stderr, " %02X", byte);
    std::fprintf(stderr, "\n");
    std::abort();
}

TermDictionary dictionaryOf(const Pairs& pairs)
{
    TermDictionary dictionary;
    for (const auto& [term, counterpart] : pairs) {
        dictionary.set(term, counterpart);
        dictionary.set(counterpart, term);
    }
    return dictionary;
}

// True when `pairs` meet the round trip's conditions in the current code page.
bool fitsRoundTrip(const Pairs& pairs)
{
    for (const auto& pair : pairs) {
        for (std::u16string_view term : {pair.first, pair.second}) {
            std::string narrow = wideToNarrow(term);
            if (narrowToWide(narrow) != term || narrow.find_first_of("0123456789_") != std::string::npos)
                return false;
        }
    }
    return true;
}

struct Setting {
    const char* locale;
    TermDictionary clean;
    TermDictionary awkward;
};

void switchTo(const char* locale)
{
    if (std::setlocale(LC_ALL, locale) == nullptr) {
        std::fprintf(stderr, "translate_name_fuzz: locale %s is missing (run scripts/setup.sh)\n", locale);
        std::abort();
    }
}

std::vector<Setting> makeSettings()
{
    std::vector<Setting> settings;
    for (auto [locale, pairs] : {std::pair{"zh_CN.GBK", &kChinesePairs}, std::pair{"en_US.CP1252", &kWesternPairs}}) {
        switchTo(locale);
        if (!fitsRoundTrip(*pairs)) {
            std::fprintf(stderr, "translate_name_fuzz: the clean dictionary for %s does not fit\n", locale);
            std::abort();
        }
        settings.push_back({locale, dictionaryOf(*pairs), dictionaryOf(kAwkwardPairs)});
    }
    return settings;
}

void checkStable(std::string_view name, const TermDictionary& dictionary)
{
    NameTranslation first = analyseName(name, dictionary);
    if (analyseName(name, dictionary).name != first.name)
        fail("two translations differ", name);
    if (first.outcome != NameOutcome::Translated && first.name != name)
        fail("a name that fits no pattern changed", name);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::vector<Setting> settings = makeSettings();
    std::string_view name(reinterpret_cast<const char*>(data), size);
    for (const Setting& setting : settings) {
        switchTo(setting.locale);
        checkStable(name, setting.clean);
        checkStable(name, setting.awkward);
        const bool damagedCoordinateSystem =
            name == kDefaultCsysChinese936 && wideToNarrow(kDefaultCsysChineseText) != kDefaultCsysChinese936;
        if (!damagedCoordinateSystem && wideToNarrow(narrowToWide(name)) == name &&
            translateName(translateName(name, setting.clean), setting.clean) != name)
            fail("translating twice did not give the name back", name);
    }
    return 0;
}
