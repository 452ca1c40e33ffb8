// The reasons a name stays, in the words both the checker and the report use.
#include "name_reason.h"

#include "utf8.h"
#include "text.h"

namespace {

std::string utf8FromHost(std::string_view narrow) { return xl::utf16ToUtf8(narrowToWide(narrow)); }

} // namespace

const char* patternName(NamePattern pattern)
{
    switch (pattern) {
    case NamePattern::CoordinateSystem: return "coordinate system";
    case NamePattern::OneTerm: return "term and number";
    case NamePattern::TwoTerm: return "term, number, '_', term";
    }
    return "";
}

NameReason whyUnchanged(const NameTranslation& analysis)
{
    switch (analysis.outcome) {
    case NameOutcome::Translated: return {};
    case NameOutcome::NoDigit: return {"no-digit", "it holds no digit, so there is no number to split it at"};
    case NameOutcome::NoUnderscoreAfterDigit:
        return {"no-underscore-after-digit", "it has a '_' before its first digit but none after it"};
    case NameOutcome::EmptySegment:
        return analysis.prefix.empty()
                   ? NameReason{"no-leading-term", "it starts with its number, so there is no leading term"}
                   : NameReason{"no-second-term", "nothing follows the '_', so there is no second term"};
    case NameOutcome::NoCounterpart: {
        std::string why;
        if (!analysis.prefixKnown)
            why.append("\"").append(utf8FromHost(analysis.prefix)).append("\" has no counterpart");
        if (analysis.pattern == NamePattern::TwoTerm && !analysis.restKnown)
            why.append(why.empty() ? "\"" : " and \"").append(utf8FromHost(analysis.rest)).append("\" has no counterpart");
        return {"no-counterpart", why};
    }
    case NameOutcome::CounterpartNotWritable:
        return {"counterpart-not-writable", "the counterpart \"" + xl::utf16ToUtf8(analysis.notWritable) +
                                                "\" cannot be written in " + systemCodePageName() +
                                                ", so the plug-in leaves the name as it is"};
    case NameOutcome::AlreadyInTarget: return {"already-in-target", "it is in that language already"};
    }
    return {};
}

NameReason nameNotWritable()
{
    return {"name-not-writable", "the name cannot be written in " + systemCodePageName()};
}

NameReason nameTaken(const std::string& holder, const std::string& newName)
{
    return {"name-taken", holder + " ends with the new name \"" + newName + "\", so the plug-in leaves the name as it is"};
}

NameReason nameUnreadable()
{
    return {"name-unreadable", "the host does not give the name whole, so the plug-in leaves it as it is"};
}
