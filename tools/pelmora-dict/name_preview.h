// The analysis behind `pelmora-dict preview`: what the plug-in's naming rule
// makes of each line of a list of names, and why a name stays as it is. The
// lines are read one at a time and the previews handed out one at a time; the
// names are those of one part, as the plug-in sees a part's history, so each
// is kept (in the host's code page, with its new name) until all are read.
#pragma once

#include "text_lines.h"
#include "translate_name.h"

#include <functional>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct NamePreview {
    size_t line = 0;                     // from 1
    std::string name;                    // UTF-8, as written in the list (U+FFFD for what is not text)
    std::optional<std::string> newName;  // UTF-8; none when the name cannot be a host name here
    std::string pattern;                 // the form the rule saw, for people
    std::string code;                    // why it stays as it is, for programs ("no-digit")
    std::string why;                     // and for people; both empty when it changes
    bool changed = false;
};

// Calls `each` with the preview of each line of `lines` that is not empty,
// in order. Names are taken in the ANSI code page of the current locale, as
// the host would hold them, and as the names of one part: a name whose new
// form another line ends with stays as it is ("name-taken"), as in the
// plug-in. A line that is not valid text in its file's encoding has the code
// "invalid-text". False when the lines could not all
// be read (`lines.error()` says why).
bool previewLines(tools::TextLines& lines, const NamingRule& rule, const std::function<void(const NamePreview&)>& each);
