// The analysis behind `pelmora-dict preview`: what the plug-in's naming rule
// makes of each line of a list of names, and why a name stays as it is. The
// names are those of one part, as the plug-in sees a part's history, so the
// list is read twice: once for what the names would end with, once to hand
// the previews out one at a time.
#pragma once

#include "text_lines.h"
#include "translate_name.h"

#include <functional>
#include <memory>
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

// A reader of the list from its first line, for each of the two readings;
// null with `error` when the list cannot be read again.
using OpenLines = std::function<std::unique_ptr<tools::TextLines>(std::string& error)>;

// Calls `each` with the preview of each line of the list that is not empty,
// in order. Names are taken in the ANSI code page of the current locale, as
// the host would hold them, and as the names of one part: a name whose new
// form another line ends with stays as it is ("name-taken"), as in the
// plug-in. A line that is not valid text in its file's encoding has the code
// "invalid-text". False with `error` when the list could not be read whole.
bool previewLines(const OpenLines& open, const NamingRule& rule, const std::function<void(const NamePreview&)>& each,
                  std::string& error);
