// Reading the package target's input; see package_description.h.
#include "package_description.h"

#include <algorithm>

namespace {

constexpr std::string_view kHeader = "@@ ";

// Where the first header line at or after `from`, a line's start, begins.
size_t nextHeader(std::string_view text, size_t from)
{
    if (text.substr(from).starts_with(kHeader))
        return from;
    const size_t newline = text.find("\n@@ ", from);
    return newline == std::string_view::npos ? newline : newline + 1;
}

} // namespace

std::vector<fixture::ZipEntry> parsePackageDescription(std::string_view text)
{
    std::vector<fixture::ZipEntry> entries;
    for (size_t at = nextHeader(text, 0); at != std::string_view::npos;) {
        const size_t lineEnd = std::min(text.find('\n', at), text.size());
        std::string_view header = text.substr(at + kHeader.size(), lineEnd - at - kHeader.size());
        const size_t contentStart = std::min(lineEnd + 1, text.size());
        const size_t next = nextHeader(text, contentStart);
        // The newline before a header line separates; it is no entry's byte.
        const size_t contentEnd = next == std::string_view::npos ? text.size() : std::max(contentStart, next - 1);
        bool deflate = true;
        if (header.starts_with("stored ")) {
            deflate = false;
            header.remove_prefix(7);
        } else if (header.starts_with("deflated ")) {
            header.remove_prefix(9);
        }
        entries.emplace_back(std::string(header), std::string(text.substr(contentStart, contentEnd - contentStart)),
                             deflate);
        at = next;
    }
    return entries;
}
