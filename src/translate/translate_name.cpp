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

} // namespace

// Appends what a segment turns into to the new name: its counterpart, in
// narrow text, or, for a term that the rule keeps, the segment's own bytes. A
// counterpart that the code page cannot hold is not appended: it is kept in
// `notWritable`, which leaves the name as it was.
NameTranslator::Segment NameTranslator::appendSegment(std::string_view segment, NameTranslation& result)
{
    if (segment.empty())
        return Segment::Unknown;
    const std::u16string_view term = converter_.toWide(segment, termRoom_, longTerm_);
    // One look-up gives the counterpart and the columns the term stands in.
    const TermDictionary::Found found = rule_.terms().findWithMarks(term);
    if (rule_.direction() != Direction::Swap) {
        const uint8_t target = rule_.direction() == Direction::ToColumnA ? kColumnA : kColumnB;
        if (found.marks & target) {
            result.name.append(segment);
            return Segment::Kept;
        }
        if (found.marks == 0)
            return Segment::Unknown;
    }
    const std::u16string_view counterpart = found.counterpart;
    if (counterpart.empty())
        return Segment::Unknown;
    if (!converter_.appendNarrowExact(counterpart, result.name) && result.notWritable.empty())
        result.notWritable.assign(counterpart);
    return Segment::Replaced;
}

// Cuts the name into its segments and looks its terms up; fills in the new
// name only when it is translated.
NameOutcome NameTranslator::translateSegments(std::string_view name, NameTranslation& result)
{
    const size_t firstUnderscore = name.find('_');
    const bool twoTerm = firstUnderscore != std::string_view::npos && firstUnderscore >= 1;
    result.pattern = twoTerm ? NamePattern::TwoTerm : NamePattern::OneTerm;

    const size_t digit = firstDigit(name);
    if (digit == std::string_view::npos)
        return NameOutcome::NoDigit;
    result.prefix = name.substr(0, digit);
    if (twoTerm) {
        const size_t underscore = name.find('_', digit + 1);
        if (underscore == std::string_view::npos)
            return NameOutcome::NoUnderscoreAfterDigit;
        result.carried = name.substr(digit, underscore + 1 - digit);
        result.rest = name.substr(underscore + 1);
    } else {
        result.carried = name.substr(digit);
    }

    // The new name is put together in place; where it turns out not to be
    // translated, the caller writes the old name over it.
    const Segment prefix = appendSegment(result.prefix, result);
    result.name.append(result.carried);
    const Segment rest = twoTerm ? appendSegment(result.rest, result) : Segment::Kept;
    result.prefixKnown = prefix != Segment::Unknown;
    result.restKnown = twoTerm && rest != Segment::Unknown;

    if (result.prefix.empty() || (twoTerm && result.rest.empty()))
        return NameOutcome::EmptySegment;
    if (!result.prefixKnown || (twoTerm && !result.restKnown))
        return NameOutcome::NoCounterpart;
    if (!result.notWritable.empty())
        return NameOutcome::CounterpartNotWritable;
    if (prefix == Segment::Kept && rest == Segment::Kept)
        return NameOutcome::AlreadyInTarget;
    return NameOutcome::Translated;
}

const std::optional<std::string>& NameTranslator::chineseCsys()
{
    if (!chineseCsys_) {
        std::string narrow;
        chineseCsys_.emplace();
        if (converter_.appendNarrowExact(kDefaultCsysChineseText, narrow))
            chineseCsys_->emplace(std::move(narrow));
    }
    return *chineseCsys_;
}

// The coordinate system's two names swap directly; toward one column, the
// English name is column A's and the Chinese one column B's. The Chinese name
// is compared and written in the system's code page; its code page 936 form,
// met where that is not the system's, is what an earlier version wrote in
// place of the English name, and turns back into it.
bool NameTranslator::analyseCoordinateSystem(std::string_view name, NameTranslation& result)
{
    // Every form ends in "CSYS": other names cost one comparison.
    if (!name.ends_with("CSYS"))
        return false;
    const std::optional<std::string>& chinese = chineseCsys();
    const bool english = name == kDefaultCsysEnglish;
    const bool local = chinese && name == *chinese;
    const bool written936 = name == kDefaultCsysChinese936;
    if (!english && !local && !written936)
        return false;
    result.pattern = NamePattern::CoordinateSystem;
    const Direction direction = rule_.direction();
    if (english) {
        if (direction == Direction::ToColumnA) {
            result.outcome = NameOutcome::AlreadyInTarget;
            result.name.assign(name);
        } else if (!chinese) {
            result.outcome = NameOutcome::CounterpartNotWritable;
            result.notWritable.assign(kDefaultCsysChineseText);
            result.name.assign(name);
        } else {
            result.name = *chinese;
        }
    } else if (local && direction == Direction::ToColumnB) {
        result.outcome = NameOutcome::AlreadyInTarget;
        result.name.assign(name);
    } else if (!local && direction == Direction::ToColumnB && chinese) {
        // The damaged form, toward Chinese where the code page holds it.
        result.name = *chinese;
    } else {
        result.name = kDefaultCsysEnglish;
    }
    return true;
}

NameTranslation NameTranslator::analyse(std::string_view name)
{
    NameTranslation result;
    if (analyseCoordinateSystem(name, result))
        return result;
    result.outcome = translateSegments(name, result);
    if (result.outcome != NameOutcome::Translated)
        result.name.assign(name);
    return result;
}

NameTranslation analyseName(std::string_view name, const NamingRule& rule)
{
    return NameTranslator(rule).analyse(name);
}

std::string translateName(std::string_view name, const NamingRule& rule)
{
    return NameTranslator(rule).translate(name);
}
