// The commands' walk: translate the root part and every component part of the
// assembly, at every depth, by one naming rule (the swap for PelmoraSwap, the
// rule toward one language for PelmoraToChinese and PelmoraToEnglish), then
// have the host replay the history.
#pragma once

#include "assembly_walk.h"
#include "translate_name.h"

// One run of the command; returns 0. A part that several occurrences use is
// translated through the first of them only. When names were left as they
// were because the system's code page cannot hold their counterparts, one
// message at level 4, in ASCII, says how many; and one more when names were
// left as they were because another entry of their part holds the new name.
int runTranslateCommand(const NamingRule& rule);
