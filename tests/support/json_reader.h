// A small JSON reader for test expectations recorded as JSON files: objects,
// arrays, strings, numbers (as doubles), booleans and null. Strings are kept
// in UTF-8 as written; \u escapes, which the recorded files do not use, are
// refused rather than decoded.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fixture {

struct JsonValue {
    enum class Type { Null, Boolean, Number, String, Array, Object };

    Type type = Type::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    // The member `key` of an object, or null when there is none.
    const JsonValue* find(std::string_view key) const;
};

// The value in `text`; null with `error` saying where parsing stopped.
std::optional<JsonValue> parseJson(std::string_view text, std::string& error);

} // namespace fixture
