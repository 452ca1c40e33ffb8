// ASCII letters without regard to case, for the names that formats and
// systems compare so (zip entry names, sheet names, file extensions): only
// A-Z fold, so that no locale and no other letter changes an answer.
#pragma once

#include <string_view>

namespace xl {

template <typename Char>
constexpr Char asciiLower(Char c)
{
    return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

template <typename Char>
constexpr bool equalIgnoringAsciiCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

} // namespace xl
