// The preview of names: each goes into the host's code page, through the
// plug-in's own naming rule, and back to UTF-8 for people.
//
// The names of the list are one part's, so a name's verdict may need every
// other name: the list is read twice. The first reading keeps only a hash of
// each name an entry would end with; in the usual list no new name's hash
// meets another, no name is left for another's sake, and the second reading
// hands each preview out as it goes, in memory of eight bytes a name. Where
// hashes meet, the second reading keeps what settling the names needs (each
// name in the host's code page and its new name), as the plug-in holds a
// part's history, and the previews are made after it.
#include "name_preview.h"

#include "utf8.h"
#include "distinct_names.h"
#include "name_hashes.h"
#include "name_reason.h"
#include "text.h"
#include "translate_name.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace {

std::string utf8FromHost(std::string_view narrow) { return xl::utf16ToUtf8(narrowToWide(narrow)); }

void say(NamePreview& preview, NameReason reason)
{
    preview.code = std::move(reason.code);
    preview.why = std::move(reason.why);
}

bool isName(const tools::TextLine& line) { return !line.text.empty() || !line.fault.empty(); }

// The line's name as the host would hold it, or nullopt when it cannot be one.
std::optional<std::string> hostName(const tools::TextLine& line)
{
    if (!line.fault.empty() || !xl::isValidUtf8(line.text))
        return std::nullopt;
    return wideToNarrowExact(xl::utf8ToUtf16(line.text));
}

// The preview of a line that cannot be a host name: it stays as it is.
NamePreview previewOfNoName(tools::TextLine& line)
{
    NamePreview preview;
    preview.line = line.number;
    preview.name = std::move(line.text);
    if (!line.fault.empty()) {
        preview.code = "invalid-text";
        preview.why = std::move(line.fault);
    } else {
        say(preview, nameNotWritable());
    }
    return preview;
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

// Whether a new name may be one that another line ends with: the hashes of
// the new names meet each other or those of the names kept.
bool newNamesMayMeet(tools::TextLines& lines, NameTranslator& translator)
{
    std::vector<uint64_t> kept;
    std::vector<uint64_t> renamed;
    tools::TextLine line;
    while (lines.next(line)) {
        if (!isName(line))
            continue;
        const std::optional<std::string> host = hostName(line);
        if (!host)
            continue;
        const std::string newName = translator.analyse(*host).name;
        if (newName == *host)
            kept.push_back(NameHashes::hashOf(*host));
        else
            renamed.push_back(NameHashes::hashOf(newName));
    }
    std::sort(renamed.begin(), renamed.end());
    if (std::adjacent_find(renamed.begin(), renamed.end()) != renamed.end())
        return true;
    std::sort(kept.begin(), kept.end());
    // Both sorted: one walk finds a hash in both.
    auto k = kept.begin();
    for (uint64_t hash : renamed) {
        k = std::lower_bound(k, kept.end(), hash);
        if (k != kept.end() && *k == hash)
            return true;
    }
    return false;
}

// Every line's preview as it is read: no name is left for another's sake.
void previewEachAsRead(tools::TextLines& lines, NameTranslator& translator,
                       const std::function<void(const NamePreview&)>& each)
{
    tools::TextLine line;
    while (lines.next(line)) {
        if (!isName(line))
            continue;
        if (const std::optional<std::string> host = hostName(line))
            each(previewOf(line.number, *host, translator));
        else
            each(previewOfNoName(line));
    }
}

// The whole list kept, settled as the plug-in settles a part's names, and
// the previews made after: a name whose new form another line ends with
// stays ("name-taken").
void previewSettled(tools::TextLines& lines, NameTranslator& translator,
                    const std::function<void(const NamePreview&)>& each)
{
    std::vector<size_t> numbers;
    std::vector<std::optional<std::string>> host;
    std::vector<std::string> proposed;
    std::unordered_map<size_t, NamePreview> noNames;   // by index in the list
    tools::TextLine line;
    while (lines.next(line)) {
        if (!isName(line))
            continue;
        numbers.push_back(line.number);
        std::optional<std::string>& name = host.emplace_back(hostName(line));
        std::string& newName = proposed.emplace_back();
        if (name)
            newName = translator.analyse(*name).name;
        else
            noNames.emplace(numbers.size() - 1, previewOfNoName(line));
    }

    const std::vector<SettledName> settled = settleNames(host, proposed);
    for (size_t i = 0; i < numbers.size(); ++i) {
        if (const auto noName = noNames.find(i); noName != noNames.end()) {
            each(noName->second);
            continue;
        }
        NamePreview preview = previewOf(numbers[i], *host[i], translator);
        if (settled[i].fate == NameFate::NameTaken) {
            const size_t holder = settled[i].holder;
            say(preview, nameTaken("line " + std::to_string(numbers[holder]) + " (\"" + utf8FromHost(*host[holder]) +
                                       "\")",
                                   *preview.newName));
            preview.newName = preview.name;
            preview.changed = false;
        }
        each(preview);
    }
}

} // namespace

bool previewLines(const OpenLines& open, const NamingRule& rule, const std::function<void(const NamePreview&)>& each,
                  std::string& error)
{
    NameTranslator translator(rule);
    bool mayMeet = false;
    {
        const std::unique_ptr<tools::TextLines> first = open(error);
        if (!first)
            return false;
        mayMeet = newNamesMayMeet(*first, translator);
        if (!first->error().empty()) {
            error = first->error();
            return false;
        }
    }
    const std::unique_ptr<tools::TextLines> second = open(error);
    if (!second)
        return false;
    if (mayMeet)
        previewSettled(*second, translator, each);
    else
        previewEachAsRead(*second, translator, each);
    error = second->error();
    return error.empty();
}
