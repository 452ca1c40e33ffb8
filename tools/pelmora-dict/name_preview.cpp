// The preview of names: each goes into the host's code page, through the
// plug-in's own naming rule, and back to UTF-8 for people.
#include "name_preview.h"

#include "distinct_names.h"
#include "text.h"
#include "common/utf8.h"
#include "translate_name.h"

#include <span>

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

// `host` and `proposed` get the name in the host's code page and what the
// rule makes of it, for the part the names make up.
NamePreview preview(size_t line, std::string name, NameTranslator& translator, std::optional<std::string>& host,
                    std::string& proposed)
{
    NamePreview result;
    result.line = line;
    result.name = std::move(name);
    host = xl::isValidUtf8(result.name) ? wideToNarrowExact(xl::utf8ToUtf16(result.name)) : std::nullopt;
    if (!host) {
        result.code = "name-not-writable";
        result.why = "the name cannot be written in " + systemCodePageName();
        return result;
    }
    NameTranslation analysis = translator.analyse(*host);
    result.newName = utf8FromHost(analysis.name);
    result.pattern = patternName(analysis.pattern);
    explainUnchanged(analysis, result);
    result.changed = *result.newName != result.name;
    proposed = std::move(analysis.name);
    return result;
}

// The names are one part's: a name whose new form another name of the list
// ends with stays as it is, as the plug-in leaves it.
void keepNamesDistinct(std::vector<NamePreview>& previews, std::span<const std::optional<std::string>> host,
                       std::span<const std::string> proposed)
{
    const std::vector<SettledName> settled = settleNames(host, proposed);
    for (size_t i = 0; i < previews.size(); ++i) {
        if (settled[i].fate != NameFate::NameTaken)
            continue;
        const NamePreview& holder = previews[settled[i].holder];
        NamePreview& taken = previews[i];
        taken.code = "name-taken";
        taken.why = "line " + std::to_string(holder.line) + " (\"" + holder.name + "\") ends with the new name \"" +
                    *taken.newName + "\", so the plug-in leaves the name as it is";
        taken.newName = taken.name;
        taken.changed = false;
    }
}

} // namespace

std::vector<NamePreview> previewNames(std::string_view names, const NamingRule& rule)
{
    NameTranslator translator(rule);
    std::vector<NamePreview> previews;
    std::vector<std::optional<std::string>> host;
    std::vector<std::string> proposed;
    size_t lineNumber = 0;
    while (!names.empty()) {
        const size_t end = names.find('\n');
        std::string_view line = names.substr(0, end);
        names.remove_prefix(end == std::string_view::npos ? names.size() : end + 1);
        ++lineNumber;
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (!line.empty()) {
            host.emplace_back();
            proposed.emplace_back();
            previews.push_back(preview(lineNumber, std::string(line), translator, host.back(), proposed.back()));
        }
    }
    keepNamesDistinct(previews, host, proposed);
    return previews;
}
