// What each byte may do in XML markup and text, for XmlReader and the
// scanner of sheets, so that both split names, values and text alike. Their
// buffers keep a NUL after their bytes, which no text holds: every class
// that stops a search has it, so that the loops stop there without a bounds
// check of their own.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace xl::xml_bytes {

enum : uint8_t {
    kBlank = 1,
    kEndsName = 2, // of an element
    kEndsAttributeName = 4,
    kEndsText = 8,   // a run of text without references
    kEndsValue = 16, // a run of an attribute value without quotes or references
    kColon = 32,     // before a local name
};

inline constexpr std::array<uint8_t, 256> kClasses = [] {
    std::array<uint8_t, 256> classes{};
    const auto add = [&classes](std::string_view bytes, uint8_t what) {
        for (const char c : bytes)
            classes[static_cast<unsigned char>(c)] |= what;
    };
    add(" \t\n\r", kBlank | kEndsName | kEndsAttributeName);
    add("/>?<", kEndsName | kEndsAttributeName);
    add("=!", kEndsAttributeName);
    add("<&", kEndsText);
    add("\"'&", kEndsValue);
    add(":", kColon);
    classes[0] = kEndsName | kEndsAttributeName | kEndsText | kEndsValue;
    return classes;
}();

inline bool is(char c, uint8_t classes)
{
    return kClasses[static_cast<unsigned char>(c)] & classes;
}

inline const char* skipBlanks(const char* p)
{
    while (is(*p, kBlank))
        ++p;
    return p;
}

} // namespace xl::xml_bytes
