// The preview of names: each goes into the host's code page, through the
// plug-in's own naming rule, and back to UTF-8 for people.
#include "name_preview.h"

#include "distinct_names.h"
#include "text.h"
#include "common/utf8.h"
#include "name_reason.h"
#include "translate_name.h"

#include <span>

namespace {

std::string utf8FromHost(std::string_view narrow) { return xl::utf16ToUtf8(narrowToWide(narrow)); }

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
        NameReason reason = nameNotWritable();
        result.code = std::move(reason.code);
        result.why = std::move(reason.why);
        return result;
    }
    NameTranslation analysis = translator.analyse(*host);
    result.newName = utf8FromHost(analysis.name);
    result.pattern = patternName(analysis.pattern);
    NameReason reason = whyUnchanged(analysis);
    result.code = std::move(reason.code);
    result.why = std::move(reason.why);
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
        NameReason reason =
            nameTaken("line " + std::to_string(holder.line) + " (\"" + holder.name + "\")", *taken.newName);
        taken.code = std::move(reason.code);
        taken.why = std::move(reason.why);
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
