// The order in which a part's new names are set, so that a host that refuses
// a name another entry of the part holds ends with exactly the names a host
// that accepts anything ends with.
//
// A name is given up before it is taken: an entry whose new name another
// entry still holds waits until that one has moved. Entries that wait on each
// other in a ring (A takes B's name and B takes A's, or longer rings) cannot
// all wait: one of them first takes a passing name that no entry of the part
// holds or is to take, and takes its own new name once the ring has moved.
// Where nothing waits, the names are set in history order, as they always
// were.
//
// A set that the host refuses anyway (a fault) leaves that entry with the
// name it held; an entry that then cannot take its new name without sharing
// it keeps the name it holds, and an entry left on a passing name is brought
// back to its old name, moving back the entries that took it. So every entry
// ends with its new name or a name it held before, never with a passing name,
// and no name is shared that was not shared before (unless the host refuses
// the steps back too).
//
// Needs no host: the caller passes the operation that sets a name.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>

// Sets the name of entry `entry`; true when the host took it.
using SetEntryName = std::function<bool(size_t entry, const std::string& name)>;

// `names`: the part's names in history order (nullopt: unreadable, never
// set); on return, what each entry holds as far as the host said. `targets`:
// the name each entry is to be set to, nullopt for one not to be set (an
// entry may be set to the name it has); spent, as a name set may be moved
// out. The targets must be settled (settleNames), so that no two entries end
// with a name that the run gives.
// `mayWait`: false when the caller knows that no target is a name an entry
// holds (settlePart), so that nothing is looked for.
void setNamesInOrder(std::span<std::optional<std::string>> names, std::span<std::optional<std::string>> targets,
                     const SetEntryName& setName, bool mayWait = true);

// The passing names that the order uses, "Pelmora~1", "Pelmora~2" ...: ASCII,
// so that every code page holds them.
inline constexpr char kPassingNamePrefix[] = "Pelmora~";
