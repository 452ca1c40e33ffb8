// Parsing of A1-style cell references and row numbers.
#include "common/cell_reference.h"

namespace xl {
namespace {

// Digits that make a 1-based number from 1 to `limit`, as a 0-based index.
std::optional<int> parseIndex(std::string_view digits, int limit)
{
    if (digits.empty())
        return std::nullopt;
    long long value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > limit)
            return std::nullopt; // also stops overflow on long digit runs
    }
    if (value == 0)
        return std::nullopt;
    return static_cast<int>(value - 1);
}

} // namespace

std::optional<CellPosition> parseCellReference(std::string_view text)
{
    size_t letters = 0;
    long long column = 0;
    while (letters < text.size()) {
        // One comparison for a letter of either case: setting bit 5 makes
        // 'A'-'Z' into 'a'-'z' and nothing else into them.
        const unsigned letter = (static_cast<unsigned char>(text[letters]) | 0x20u) - 'a';
        if (letter >= 26)
            break;
        column = column * 26 + letter + 1;
        if (column > kMaxColumns)
            return std::nullopt;
        ++letters;
    }
    if (letters == 0)
        return std::nullopt;
    const std::optional<int> row = parseIndex(text.substr(letters), kMaxRows);
    if (!row)
        return std::nullopt;
    return CellPosition{*row, static_cast<int>(column - 1)};
}

std::optional<int> parseRowNumber(std::string_view text)
{
    return parseIndex(text, kMaxRows);
}

std::string formatCellReference(int row, int col)
{
    std::string letters;
    for (long long n = static_cast<long long>(col) + 1; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters + std::to_string(static_cast<long long>(row) + 1);
}

} // namespace xl
