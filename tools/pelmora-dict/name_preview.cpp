// The preview of names: each goes into the host's code page, through the
// plug-in's own naming rule, and back to UTF-8 for people.
#include "name_preview.h"

#include "text.h"
#include "common/utf8.h"
#include "translate_name.h"

namespace {

std::string utf8FromHost(std::string_view narrow) { return xl::utf16ToUtf8(narrowToWide(narrow)); }

const char* patternName(NamePattern pattern)
{
    switch (pattern) {
    case NamePattern::CoordinateSystem: return "coordinate system";
    case NamePattern::OneTerm: return "term and number";
    case NamePattern::TwoTerm: return "term, number, '_', term";
    }
    return "";
}

// Sets why the name stays as it is, in a code and in words.
void explainUnchanged(const NameTranslation& analysis, NamePreview& preview)
{
    auto say = [&](const char* code, std::string why) {
        preview.code = code;
        preview.why = std::move(why);
    };
    switch (analysis.outcome) {
    case NameOutcome::Translated: return;
    case NameOutcome::NoDigit: return say("no-digit", "it holds no digit, so there is no number to split it at");
    case NameOutcome::NoUnderscoreAfterDigit:
        return say("no-underscore-after-digit", "it has a '_' before its first digit but none after it");
    case NameOutcome::EmptySegment:
        return analysis.prefix.empty()
                   ? say("no-leading-term", "it starts with its number, so there is no leading term")
                   : say("no-second-term", "nothing follows the '_', so there is no second term");
    case NameOutcome::NoCounterpart: {
        std::string why;
        if (!analysis.prefixKnown)
            why = "\"" + utf8FromHost(analysis.prefix) + "\" has no counterpart";
        if (analysis.pattern == NamePattern::TwoTerm && !analysis.restKnown)
            why += (why.empty() ? "\"" : " and \"") + utf8FromHost(analysis.rest) + "\" has no counterpart";
        return say("no-counterpart", why);
    }
    case NameOutcome::CounterpartNotWritable:
        return say("counterpart-not-writable", "the counterpart \"" + xl::utf16ToUtf8(analysis.notWritable) +
                                                   "\" cannot be written in " + systemCodePageName() +
                                                   ", so the plug-in leaves the name as it is");
    case NameOutcome::AlreadyInTarget: return say("already-in-target", "it is in that language already");
    }
}

NamePreview preview(tools::TextLine& line, NameTranslator& translator)
{
    NamePreview result;
    result.line = line.number;
    result.name = std::move(line.text);
    if (!line.fault.empty()) {
        result.code = "invalid-text";
        result.why = std::move(line.fault);
        return result;
    }
    const std::optional<std::string> host = xl::isValidUtf8(result.name)
                                                ? wideToNarrowExact(xl::utf8ToUtf16(result.name))
                                                : std::nullopt;
    if (!host) {
        result.code = "name-not-writable";
        result.why = "the name cannot be written in " + systemCodePageName();
        return result;
    }
    const NameTranslation analysis = translator.analyse(*host);
    result.newName = utf8FromHost(analysis.name);
    result.pattern = patternName(analysis.pattern);
    explainUnchanged(analysis, result);
    result.changed = *result.newName != result.name;
    return result;
}

} // namespace

bool previewLines(tools::TextLines& lines, const NamingRule& rule, const std::function<void(const NamePreview&)>& each)
{
    NameTranslator translator(rule);
    tools::TextLine line;
    while (lines.next(line)) {
        if (!line.text.empty() || !line.fault.empty())
            each(preview(line, translator));
    }
    return lines.error().empty();
}
