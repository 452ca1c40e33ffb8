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

#include <unordered_map>
#include <vector>

namespace {

std::string utf8FromHost(std::string_view narrow) { return xl::utf16ToUtf8(narrowToWide(narrow)); }

void say(NamePreview& preview, NameReason reason)
{
    preview.code = std::move(reason.code);
    preview.why = std::move(reason.why);
}

// What is kept of the list until every line has been read: of a name the
// host can hold, its bytes there and the rule's new name; of any other line
// (rare: it stays as it is), its whole preview.
struct ListedNames {
    std::vector<size_t> lines;
    std::vector<std::optional<std::string>> host;
    std::vector<std::string> proposed;
    std::unordered_map<size_t, NamePreview> kept;   // by index in the list

    void add(tools::TextLine& line, NameTranslator& translator)
    {
        const size_t index = lines.size();
        lines.push_back(line.number);
        std::optional<std::string>& name = host.emplace_back();
        std::string& newName = proposed.emplace_back();
        if (line.fault.empty() && xl::isValidUtf8(line.text))
            name = wideToNarrowExact(xl::utf8ToUtf16(line.text));
        if (name) {
            newName = translator.analyse(*name).name;
            return;
        }
        NamePreview& preview = kept[index];
        preview.line = line.number;
        preview.name = std::move(line.text);
        if (!line.fault.empty()) {
            preview.code = "invalid-text";
            preview.why = std::move(line.fault);
        } else {
            say(preview, nameNotWritable());
        }
    }
};

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
    ListedNames listed;
    tools::TextLine line;
    while (lines.next(line)) {
        if (!line.text.empty() || !line.fault.empty())
            listed.add(line, translator);
    }

    const std::vector<SettledName> settled = settleNames(listed.host, listed.proposed);
    for (size_t i = 0; i < listed.lines.size(); ++i) {
        if (const auto kept = listed.kept.find(i); kept != listed.kept.end()) {
            each(kept->second);
            continue;
        }
        NamePreview preview = previewOf(listed.lines[i], *listed.host[i], translator);
        if (settled[i].fate == NameFate::NameTaken) {
            const size_t holder = settled[i].holder;
            say(preview, nameTaken("line " + std::to_string(listed.lines[holder]) + " (\"" +
                                       utf8FromHost(*listed.host[holder]) + "\")",
                                   *preview.newName));
            preview.newName = preview.name;
            preview.changed = false;
        }
        each(preview);
    }
    return lines.error().empty();
}
