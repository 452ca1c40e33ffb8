// The PelmoraSwap command: translate the root part and every component part
// of the assembly, at every depth, then have the host replay the history.
#pragma once

#include "host_api.h"
#include "term_dictionary.h"

// The deepest level the walk goes to, counting the root as level 1: as deep as
// an EntityPath can name. A host that lists a component inside itself cannot
// make the walk endless.
inline constexpr int kDeepestLevel = ENTITY_PATH_MAX_IDS;

// One run of the command; returns 0.
int runTranslateCommand(const TermDictionary& dictionary);

// Translates the components of the object at `path`, which lies at `level`,
// and their components in turn, depth-first in list order.
void translateComponents(const EntityPath& path, const TermDictionary& dictionary, int level);
