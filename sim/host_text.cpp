// Host text: the simulated host keeps names in the ANSI code page, and model
// files hold UTF-8. The conversions are the project's one text library
// (text/), which the module uses too, so that host and module read and write
// the code page alike.
#include "model_file.h"

#include "text.h"
#include "utf8.h"

namespace ostrelsim {

std::optional<std::string> utf8ToAnsi(std::string_view utf8)
{
    if (!xl::isValidUtf8(utf8))
        return std::nullopt;
    return wideToNarrowExact(xl::utf8ToUtf16(utf8));
}

std::string ansiToUtf8(std::string_view ansi) { return xl::utf16ToUtf8(narrowToWide(ansi)); }

} // namespace ostrelsim
