// The command line both programs read: options as "--name value" or
// "--name=value" anywhere on the line, "--" ending the options, "-" an
// operand, and a clear error for what does not fit.
#include "command_line.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const std::array<tools::OptionSpec, 3> kSpecs = {{{"--out", true}, {"--json", false}, {"--run", true}}};

std::vector<tools::Argument> argumentsOf(const std::vector<std::string>& texts)
{
    std::vector<tools::Argument> result;
    for (const std::string& text : texts)
        result.emplace_back(std::filesystem::path(text).native());
    return result;
}

// The parse as one line: options as "name=value" (or the name alone), then
// "| operands"; or "error: why".
std::string parsed(const std::vector<std::string>& texts)
{
    tools::ParsedArguments result;
    std::string error;
    if (!tools::parseArguments(argumentsOf(texts), kSpecs, result, error))
        return "error: " + error;
    std::string line;
    for (const tools::ParsedOption& option : result.options) {
        line += std::string(option.spec->name);
        if (option.spec->takesValue)
            line += "=" + option.value.text();
        line += " ";
    }
    line += "|";
    for (const tools::Argument& operand : result.operands)
        line += " " + operand.text();
    return line;
}

TEST(CommandLine, ReadsOptionsAndOperandsAsThePeopleWhoTypeThemExpect)
{
    const struct {
        std::vector<std::string> arguments;
        std::string expected;
    } cases[] = {
        {{"model.json"}, "| model.json"},
        {{"--out", "a.json", "model.json"}, "--out=a.json | model.json"},
        {{"--out=a.json", "model.json"}, "--out=a.json | model.json"},
        {{"model.json", "--json"}, "--json | model.json"},
        {{"--out=x=y.json"}, "--out=x=y.json |"},
        {{"-"}, "| -"},
        {{"--out", "-"}, "--out=- |"},
        {{"--", "--json", "-x"}, "| --json -x"},
        {{"--json", "--", "--"}, "--json | --"},
        {{"--run", "A", "--run=B"}, "--run=A --run=B |"},
        {{"--json", "--json"}, "--json --json |"},
        {{}, "|"},
        {{"--out"}, "error: --out needs a value"},
        {{"--out="}, "error: --out needs a value"},
        {{"--out", ""}, "error: --out needs a value"},
        {{"--json=yes"}, "error: --json takes no value"},
        {{"--verbose"}, "error: unknown option --verbose"},
        {{"-x"}, "error: unknown option -x"},
        {{"--verbose=1"}, "error: unknown option --verbose"},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const std::string& argument : c.arguments)
            line += "[" + argument + "]";
        EXPECT_EQ(parsed(c.arguments), c.expected) << line;
    }
}

TEST(CommandLine, OnlyALoneDashIsStandardInput)
{
    const std::vector<tools::Argument> arguments = argumentsOf({"-", "--", "-a", "a"});
    EXPECT_TRUE(arguments[0].isStandardStream());
    for (size_t i = 1; i < arguments.size(); ++i)
        EXPECT_FALSE(arguments[i].isStandardStream()) << arguments[i].text();
}

} // namespace
