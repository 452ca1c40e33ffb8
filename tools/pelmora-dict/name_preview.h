// The analysis behind `pelmora-dict preview`: what the plug-in's naming rule
// makes of each line of a list of names, and why a name stays as it is.
#pragma once

#include "translate_name.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct NamePreview {
    size_t line = 0;                     // from 1
    std::string name;                    // UTF-8, as written in the list
    std::optional<std::string> newName;  // UTF-8; none when the name cannot be a host name here
    std::string pattern;                 // the form the rule saw, for people
    std::string code;                    // why it stays as it is, for programs ("no-digit")
    std::string why;                     // and for people; both empty when it changes
    bool changed = false;
};

// One preview for each line of `names` (UTF-8, LF or CRLF) that is not
// empty. Names are taken in the ANSI code page of the current locale, as the
// host would hold them, and as the names of one part: a name whose new form
// another line ends with stays as it is ("name-taken"), as in the plug-in.
std::vector<NamePreview> previewNames(std::string_view names, const NamingRule& rule);
