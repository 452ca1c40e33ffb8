// The tools' command lines: each argument as the system gives it (UTF-16 on
// Windows, bytes in the locale's codeset elsewhere), and one way of reading
// options for every program: "--name value" and "--name=value", "--" ends the
// options, and "-" alone is an operand (standard input, for an input file).
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tools {

// One argument: its text, for options and messages, and the file it names.
class Argument {
public:
    explicit Argument(std::filesystem::path::string_type native);

    // UTF-8; what the system's encoding cannot decode is U+FFFD.
    const std::string& text() const { return text_; }
    // Exactly as given, so that any file the system can name opens.
    std::filesystem::path path() const { return std::filesystem::path(native_); }
    // "-": standard input where an input file belongs.
    bool isStandardStream() const { return native_.size() == 1 && native_[0] == '-'; }
    // The parts before and after the first '=', when there is one.
    bool splitAtEquals(Argument& name, Argument& value) const;

private:
    std::filesystem::path::string_type native_;
    std::string text_;
};

// The program's arguments after its own name.
std::vector<Argument> arguments(int argc, char** argv);

// An option a program takes: its name with its dashes, and whether a value follows.
struct OptionSpec {
    std::string_view name;
    bool takesValue;
};

struct ParsedOption {
    const OptionSpec* spec;
    Argument value;   // empty for an option without a value
};

struct ParsedArguments {
    std::vector<ParsedOption> options;   // in the order given
    std::vector<Argument> operands;
};

// Splits `arguments` into options of `specs` and operands. False, with `error`
// saying why in UTF-8, for an unknown option, a value missing or empty, or a
// value given to an option that takes none.
bool parseArguments(const std::vector<Argument>& arguments, std::span<const OptionSpec> specs,
                    ParsedArguments& parsed, std::string& error);

} // namespace tools
