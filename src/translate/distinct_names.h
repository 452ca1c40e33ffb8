// Which entries of one part take their new names, so that a run never leaves
// two entries of a part with a name that it gave one of them.
//
// Whatever refers to a feature by name (a reference, a script, a user) finds
// it ambiguous once two entries of the part share the name, and many hosts
// refuse a name that another entry holds. So when the naming rule has given
// every entry of a part its new name, an entry whose new name another entry
// would end the run with keeps its old one: an entry that keeps its name wins
// over one renamed to it; among entries that would all be renamed to one
// name, the first in the history wins; and since an entry that keeps its old
// name may take that name from another one, this is repeated until nothing
// changes. A part that held two entries of one name before the run may keep
// them: only names the run gives are weighed.
//
// Needs no host: the pass calls it with what it read, and a tool can call it
// with any list of names to show what a command would do to them.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

enum class NameFate {
    Unreadable,   // its name could not be read; it is left alone
    Unchanged,    // the rule gives it the name it has
    Renamed,      // it takes its new name
    NameTaken,    // it keeps its old name: another entry ends the run with the new one
};

struct SettledName {
    NameFate fate = NameFate::Unchanged;
    // For NameTaken: the index of the entry that ends the run with the name
    // this one was to take (the first such entry in the history).
    size_t holder = 0;
};

// `names` are a part's names in history order, as read (nullopt: unreadable);
// `proposed` is the name the rule gives each entry (not looked at for an
// unreadable one). Both spans have one element per entry.
std::vector<SettledName> settleNames(std::span<const std::optional<std::string>> names,
                                     std::span<const std::string> proposed);

// The same, and whether a name that an entry is to take may be one that an
// entry holds before the run: when not (the usual part), the names can be set
// in history order, without working out an order (setNamesInOrder).
struct PartSettlement {
    std::vector<SettledName> names;
    bool newNamesMayBeHeld = false;
};
PartSettlement settlePart(std::span<const std::optional<std::string>> names, std::span<const std::string> proposed);

// How many entries keep their old name because another entry holds the new one.
size_t countNamesTaken(std::span<const SettledName> settled);
