// The preview of names: each goes into the host's code page, through the
// plug-in's own naming rule, and back to UTF-8 for people. The names of the
// list are one part's, so a name's verdict waits for the whole list: what is
// kept of each line meanwhile is its name in the host's code page and the
// name the rule gives it, and the previews are made and handed out after.
#include "name_preview.h"

#include "common/utf8.h"
#include "distinct_names.h"
#include "name_reason.h"
#include "text.h"
#include "translate_name.h"

#include <vector>

namespace {

std::string utf8FromHost(std::string_view narrow) { return xl::utf16ToUtf8(narrowToWide(narrow)); }

void say(NamePreview& preview, NameReason reason)
{
    preview.code = std::move(reason.code);
    preview.why = std::move(reason.why);
}

// What a line of the list is kept as until every line has been read: a
// name the host can hold by its bytes there and the rule's new name; any
// other line by its whole preview (it stays as it is).
struct ListedName {
    size_t line = 0;
    std::optional<std::string> host;
    std::string proposed;
    std::optional<NamePreview> settled;
};

ListedName listName(tools::TextLine& line, NameTranslator& translator)
{
    ListedName listed;
    listed.line = line.number;
    if (line.fault.empty() && xl::isValidUtf8(line.text))
        listed.host = wideToNarrowExact(xl::utf8ToUtf16(line.text));
    if (listed.host) {
        listed.proposed = translator.analyse(*listed.host).name;
        return listed;
    }
    NamePreview& preview = listed.settled.emplace();
    preview.line = line.number;
    preview.name = std::move(line.text);
    if (!line.fault.empty()) {
        preview.code = "invalid-text";
        preview.why = std::move(line.fault);
    } else {
        say(preview, nameNotWritable());
    }
    return listed;
}

// The preview of a name the host can hold. Its UTF-8 form comes back from
// the host's bytes unchanged, since they were written exactly.
NamePreview previewOf(size_t line, const std::string& host, NameTranslator& translator)
{
    NamePreview preview;
    preview.line = line;
    preview.name = utf8FromHost(host);
    const NameTranslation analysis = translator.analyse(host);
    preview.newName = utf8FromHost(analysis.name);
    preview.pattern = patternName(analysis.pattern);
    say(preview, whyUnchanged(analysis));
    preview.changed = *preview.newName != preview.name;
    return preview;
}

} // namespace

bool previewLines(tools::TextLines& lines, const NamingRule& rule, const std::function<void(const NamePreview&)>& each)
{
    NameTranslator translator(rule);
    std::vector<ListedName> listed;
    tools::TextLine line;
    while (lines.next(line)) {
        if (!line.text.empty() || !line.fault.empty())
            listed.push_back(listName(line, translator));
    }

    std::vector<std::optional<std::string>> host(listed.size());
    std::vector<std::string> proposed(listed.size());
    for (size_t i = 0; i < listed.size(); ++i) {
        host[i] = std::move(listed[i].host);
        proposed[i] = std::move(listed[i].proposed);
    }
    const std::vector<SettledName> settled = settleNames(host, proposed);
    for (size_t i = 0; i < listed.size(); ++i) {
        if (listed[i].settled) {
            each(*listed[i].settled);
            continue;
        }
        NamePreview preview = previewOf(listed[i].line, *host[i], translator);
        if (settled[i].fate == NameFate::NameTaken) {
            const size_t holder = settled[i].holder;
            say(preview, nameTaken("line " + std::to_string(listed[holder].line) + " (\"" +
                                       utf8FromHost(*host[holder]) + "\")",
                                   *preview.newName));
            preview.newName = preview.name;
            preview.changed = false;
        }
        each(preview);
    }
    return lines.error().empty();
}
