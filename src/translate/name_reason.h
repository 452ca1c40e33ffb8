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
// A name left because another entry of the part ends the run with its new
// name; `holder` says which, for people ("line 3 (\"Sketch1\")").
NameReason nameTaken(const std::string& holder, const std::string& newName);

// The form the rule saw in a name, for people: "term and number".
const char* patternName(NamePattern pattern);
