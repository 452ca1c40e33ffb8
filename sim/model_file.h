// Model files for the simulated host: a document as JSON text (UTF-8), read
// into the simulated document and written back with what the run left behind.
//
//   {"name": "Gearbox", "history": ["Sketch1", "Extrude1"],
//    "components": [{"name": "Shaft", "history": [...], "components": [...]},
//                   {"use": "Bolt M8"}, {"use": "Bolt M8"}],
//    "definitions": {"Bolt M8": {"history": [...], "components": [...]}}}
//
// "history" and "components" may be absent. A part or sub-assembly used in
// several places is defined once in the top's "definitions", keyed by its
// name, and each {"use": KEY} in any "components" (the top's, a component's
// or a definition's) is an occurrence of that one object, so that a name set
// through any occurrence is set in all. A definition has "history" and
// "components" as a component has; its name is its key unless it has a
// "name" of its own. Definitions may use other definitions, in any order, but
// never themselves, directly or through others; every definition must be
// used; an assembly is at most 100 levels deep. A "use" object has no other
// field. "distinctNames": true at the top makes a host that refuses a name
// another history entry of the same object holds (setDistinctNames), as many
// CAD hosts do; it is written back when set.
//
// Written, an object that more than one component uses stands among the
// definitions, in the order its object was added (for a model read from a
// file, the order of its definitions), keyed by its name ("Name (2)" and on,
// with a "name" field, for a second object of one name); an object used once
// is written in place, also one read as a definition. So a written model
// reads back with its sharing. A written model also carries
// "messages": [{"level": N, "text": "..."}] and "sent": ["..."], which
// reading accepts at the top and passes over, so that a written model reads
// again.
//
// The host keeps names as narrow text in the ANSI code page, converted as the
// module converts it (text.h): into the system's code page (on Windows CP_ACP,
// elsewhere the codeset of the process's global locale) and out of the calling
// thread's, which is the same unless the thread chose a locale of its own.
#pragma once

#include "ostrel_sim.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrelsim {

struct ModelReadResult {
    bool ok = false;
    // What is wrong and where: "line 3, column 7: ..." (columns in
    // characters) for text that is not JSON, "$.components[2].history[0]: ..."
    // for a value that does not fit, a field given twice or values nested more
    // than 512 deep, "$: the assembly would be more than 100 levels deep", and "$.definitions[\"Bolt M8\"].components[0].use: ..."
    // for a use of no definition or of one that it lies in.
    std::string error;
};

// Replaces the document with the model in `json`, starting afresh as reset()
// does (records, faults, registrations and the message listener go too). On
// error the document is left as it was.
OSTREL_SIM_API ModelReadResult readModel(std::string_view json);

// The document from its root, with the messages shown and commands sent, as
// UTF-8 JSON text ending in a newline.
OSTREL_SIM_API std::string writeModel();

// An object that more than one component uses: one definition of a written
// model.
struct SharedObject {
    int32_t object;
    std::string key;   // UTF-8, the definition's key
    size_t uses;       // the components that use it
};

// The objects below the root that writeModel writes as definitions, in its order.
OSTREL_SIM_API std::vector<SharedObject> sharedObjects();

// Host text and UTF-8. utf8ToAnsi is empty when the code page cannot hold
// every character exactly, look-alikes not taken (or the text is not UTF-8);
// ansiToUtf8 turns bytes that begin no character into U+FFFD.
OSTREL_SIM_API std::optional<std::string> utf8ToAnsi(std::string_view utf8);
OSTREL_SIM_API std::string ansiToUtf8(std::string_view ansi);

// `utf8` as a JSON string literal, quotes included.
OSTREL_SIM_API std::string jsonQuoted(std::string_view utf8);

} // namespace ostrelsim
