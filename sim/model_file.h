// Model files for the simulated host: a document as JSON text (UTF-8), read
// into the simulated document and written back with what the run left behind.
//
//   {"name": "Gearbox", "history": ["Sketch1", "Extrude1"],
//    "components": [{"name": "Shaft", "history": [...], "components": [...]}]}
//
// "history" and "components" may be absent. A written model also carries
// "messages": [{"level": N, "text": "..."}] and "sent": ["..."], which reading
// accepts at the top and passes over, so that a written model reads again.
//
// The host keeps names as narrow text in the ANSI code page, converted as the
// module converts it (text.h): into the system's code page (on Windows CP_ACP,
// elsewhere the codeset of the process's global locale) and out of the calling
// thread's, which is the same unless the thread chose a locale of its own.
#pragma once

#include "ostrel_sim.h"

#include <optional>
#include <string>
#include <string_view>

namespace ostrelsim {

struct ModelReadResult {
    bool ok = false;
    // What is wrong and where: "line 3, column 7: ..." (columns in
    // characters) for text that is not JSON, "$.components[2].history[0]: ..."
    // for a value that does not fit, a field given twice or values nested more
    // than 200 deep.
    std::string error;
};

// Replaces the document with the model in `json`, starting afresh as reset()
// does (records, faults, registrations and the message listener go too). On
// error the document is left as it was.
OSTREL_SIM_API ModelReadResult readModel(std::string_view json);

// The document from its root, with the messages shown and commands sent, as
// UTF-8 JSON text ending in a newline.
OSTREL_SIM_API std::string writeModel();

// Host text and UTF-8. utf8ToAnsi is empty when the code page cannot hold
// every character exactly, look-alikes not taken (or the text is not UTF-8);
// ansiToUtf8 turns bytes that begin no character into U+FFFD.
OSTREL_SIM_API std::optional<std::string> utf8ToAnsi(std::string_view utf8);
OSTREL_SIM_API std::string ansiToUtf8(std::string_view ansi);

// `utf8` as a JSON string literal, quotes included.
OSTREL_SIM_API std::string jsonQuoted(std::string_view utf8);

} // namespace ostrelsim
