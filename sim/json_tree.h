// JSON text read into a tree by nlohmann-json, with errors that say where:
// "line L, column C: ..." for text that is not JSON, "$.path: ..." for what
// the library would let through and a model must not hold (a field given
// twice, values nested deeper than any model goes).
#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace ostrelsim {

// Keeps an object's fields in the order written, so that errors come in the
// order a reader meets them.
using JsonTree = nlohmann::ordered_json;

// Well past the nesting of the deepest assembly a model may hold (two values
// a level), so that a model too deep is told in the model's own terms; it
// keeps hostile nesting off the stack of whatever walks the tree.
constexpr size_t kMaxJsonNesting = 512;

// `text` (UTF-8, a byte order mark allowed) as a tree; none, with `error`
// set, when it is not JSON, gives an object a field twice or nests values
// more than kMaxJsonNesting deep.
std::optional<JsonTree> readJsonTree(std::string_view text, std::string& error);

// The paths that errors name values by: "$" for the top, then
// "$.components[2].history"; a field whose name is not a plain word stands in
// brackets, as in "$.definitions[\"Bolt M8\"]", so that no name can make a
// path read as another.
std::string jsonFieldPath(const std::string& object, std::string_view field);
std::string jsonItemPath(const std::string& array, size_t index);

// A field's name as a JSON string, quotes included, for paths and messages.
std::string jsonKeyQuoted(std::string_view key);

} // namespace ostrelsim
