// The translation pass over the history of the host's active part.
#pragma once

#include "run_memory.h"
#include "translate_name.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The history of the host's active part as it stands: its entries' ids and
// names, each name read whole (nullopt when the host will not give it).
struct ActiveHistory {
    std::vector<int32_t> ids;
    std::vector<std::optional<std::string>> names;

    HistoryDigest digest() const { return digestHistory(ids, names); }
};
ActiveHistory readActiveHistory();

// Renames every history entry of the active part by the naming rule. Every
// name is read before any is written. An entry whose new name another entry
// of the part ends the run with keeps its old one (distinct_names.h), and the
// names are set in an order that a host keeping names distinct accepts
// (rename_order.h). The swap then writes every entry, changed or not, except
// one whose name cannot be read whole; a rule toward one column writes only
// the names it changes. A history that this run already left behind, the
// same part reached through another occurrence, is left as it is and nothing
// is written. Returns 0.
int translateActivePart(const NamingRule& rule, RunMemory& run);

// The whole name of a history entry. A name that fills the buffer it was read
// into may have been cut, so it is read again into a buffer twice as large
// until it fits; nullopt when the host will not give it or it never fits.
std::optional<std::string> readEntityName(int32_t id);
