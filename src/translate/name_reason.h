// Why the naming rule leaves a name as it is, in a stable code for programs
// ("no-digit") and in words for people: what `pelmora-dict preview` and the
// report's "Names" sheet say alike.
#pragma once

#include "translate_name.h"

#include <string>

struct NameReason {
    std::string code;  // empty when the name changes
    std::string why;   // UTF-8
};

NameReason whyUnchanged(const NameTranslation& analysis);
// A name that the system's code page cannot hold, so that no host holds it.
NameReason nameNotWritable();
// A name that the host would not give whole.
NameReason nameUnreadable();

// The form the rule saw in a name, for people: "term and number".
const char* patternName(NamePattern pattern);
