// The preview of names: each goes into the host's code page, through the
// plug-in's own naming rule, and back to UTF-8 for people.
#include "name_preview.h"

#include "text.h"
#include "common/utf8.h"
#include "name_reason.h"
#include "translate_name.h"

namespace {

std::string utf8FromHost(std::string_view narrow) { return xl::utf16ToUtf8(narrowToWide(narrow)); }

NamePreview preview(size_t line, std::string name, NameTranslator& translator)
{
    NamePreview result;
    result.line = line;
    result.name = std::move(name);
    const std::optional<std::string> host = xl::isValidUtf8(result.name)
                                                ? wideToNarrowExact(xl::utf8ToUtf16(result.name))
                                                : std::nullopt;
    if (!host) {
        NameReason reason = nameNotWritable();
        result.code = std::move(reason.code);
        result.why = std::move(reason.why);
        return result;
    }
    const NameTranslation analysis = translator.analyse(*host);
    result.newName = utf8FromHost(analysis.name);
    result.pattern = patternName(analysis.pattern);
    NameReason reason = whyUnchanged(analysis);
    result.code = std::move(reason.code);
    result.why = std::move(reason.why);
    result.changed = *result.newName != result.name;
    return result;
}

} // namespace

std::vector<NamePreview> previewNames(std::string_view names, const NamingRule& rule)
{
    NameTranslator translator(rule);
    std::vector<NamePreview> previews;
    size_t lineNumber = 0;
    while (!names.empty()) {
        const size_t end = names.find('\n');
        std::string_view line = names.substr(0, end);
        names.remove_prefix(end == std::string_view::npos ? names.size() : end + 1);
        ++lineNumber;
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (!line.empty())
            previews.push_back(preview(lineNumber, std::string(line), translator));
    }
    return previews;
}
