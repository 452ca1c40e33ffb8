// The commands' walk over an assembly: the root object, then every component
// at every depth, depth-first in list order, each made the host's active
// object while the work for it is done. Every command walks this way, so
// that what PelmoraReport says of a model is what the renaming commands do
// to it.
#pragma once

#include "host_api.h"

#include <functional>

// The deepest level the walk goes to, counting the root as level 1: as deep as
// an EntityPath can name. A host that lists a component inside itself cannot
// make the walk endless.
inline constexpr int kDeepestLevel = ENTITY_PATH_MAX_IDS;

// The work for one object, called while it is active, with its path and its
// place in the walk (1 for the root, counting every listed component).
using ActivePartWork = std::function<void(const EntityPath& path, int place)>;

// Walks the assembly from the host's root. Every activation is undone before
// the next one is made, so the host's active object is the user's again
// between the steps and after the walk. When the host refuses to make an
// object active, the work meant for it is not done on whatever else is
// active, and the walk goes on with the next object.
void walkAssembly(const ActivePartWork& work);
