// The naming rule. Bytes are looked at one by one: 0x5F is '_' and 0x30-0x39
// are digits wherever they stand, also as the second byte of a double-byte
// character. Terms go through wide text to be looked up; the bytes carried
// over never do, so that a name that is not valid text in the code page is
// not altered where the rule does not touch it.
#include "translate_name.h"

#include "text.h"

namespace {

size_t firstDigit(std::string_view name)
{
    for (size_t i = 0; i < name.size(); ++i)
        if (name[i] >= '0' && name[i] <= '9')
            return i;
    return std::string_view::npos;
}

// The counterpart of a segment in narrow text, or empty when none is known.
std::string counterpartOf(std::string_view segment, const TermDictionary& dictionary)
{
    if (segment.empty())
        return {};
    std::u16string counterpart = dictionary.lookup(narrowToWide(segment));
    return counterpart.empty() ? std::string() : wideToNarrow(counterpart);
}

} // namespace

NameTranslation analyseName(std::string_view name, const TermDictionary& dictionary)
{
    NameTranslation result;
    if (name == kDefaultCsysChinese || name == kDefaultCsysEnglish) {
        result.pattern = NamePattern::CoordinateSystem;
        result.name = name == kDefaultCsysChinese ? kDefaultCsysEnglish : kDefaultCsysChinese;
        return result;
    }

    size_t firstUnderscore = name.find('_');
    result.pattern = firstUnderscore != std::string_view::npos && firstUnderscore >= 1 ? NamePattern::TwoTerm
                                                                                         : NamePattern::OneTerm;
    result.name.assign(name);

    size_t digit = firstDigit(name);
    if (digit == std::string_view::npos) {
        result.outcome = NameOutcome::NoDigit;
        return result;
    }
    result.prefix = name.substr(0, digit);

    if (result.pattern == NamePattern::TwoTerm) {
        size_t underscore = name.find('_', digit + 1);
        if (underscore == std::string_view::npos) {
            result.outcome = NameOutcome::NoUnderscoreAfterDigit;
            return result;
        }
        result.carried = name.substr(digit, underscore + 1 - digit);
        result.rest = name.substr(underscore + 1);
    } else {
        result.carried = name.substr(digit);
    }

    std::string prefix = counterpartOf(result.prefix, dictionary);
    result.prefixKnown = !prefix.empty();
    std::string rest;
    if (result.pattern == NamePattern::TwoTerm) {
        rest = counterpartOf(result.rest, dictionary);
        result.restKnown = !rest.empty();
    }

    bool twoTerm = result.pattern == NamePattern::TwoTerm;
    if (result.prefix.empty() || (twoTerm && result.rest.empty())) {
        result.outcome = NameOutcome::EmptySegment;
        return result;
    }
    if (!result.prefixKnown || (twoTerm && !result.restKnown)) {
        result.outcome = NameOutcome::NoCounterpart;
        return result;
    }
    result.name = prefix;
    result.name.append(result.carried);
    result.name.append(rest);
    return result;
}

std::string translateName(std::string_view name, const TermDictionary& dictionary)
{
    return analyseName(name, dictionary).name;
}
