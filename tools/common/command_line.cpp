// Command lines as the system gives them: CommandLineToArgvW on Windows, the
// bytes of argv elsewhere.
#include "command_line.h"

#include "console.h"

#include <algorithm>
#include <utility>

#if defined(_WIN32)
#  include <windows.h>
#  include <shellapi.h>
#endif

namespace tools {

Argument::Argument(std::filesystem::path::string_type native)
    : native_(std::move(native)), text_(displayName(std::filesystem::path(native_)))
{
}

bool Argument::splitAtEquals(Argument& name, Argument& value) const
{
    // '=' is one unit in UTF-16 and no trail byte of an ANSI code page's pair.
    const size_t equals = native_.find('=');
    if (equals == std::filesystem::path::string_type::npos)
        return false;
    name = Argument(native_.substr(0, equals));
    value = Argument(native_.substr(equals + 1));
    return true;
}

#if defined(_WIN32)

std::vector<Argument> arguments(int, char**)
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<Argument> result;
    for (int i = 1; wide != nullptr && i < count; ++i)
        result.emplace_back(wide[i]);
    LocalFree(wide);
    return result;
}

#else

std::vector<Argument> arguments(int argc, char** argv)
{
    std::vector<Argument> result;
    for (int i = 1; i < argc; ++i)
        result.emplace_back(argv[i]);
    return result;
}

#endif

bool parseArguments(const std::vector<Argument>& arguments, std::span<const OptionSpec> specs,
                    ParsedArguments& parsed, std::string& error)
{
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const Argument& argument = arguments[i];
        const std::string& text = argument.text();
        if (optionsEnded || text.size() < 2 || text[0] != '-') {
            parsed.operands.push_back(argument);
            continue;
        }
        if (text == "--") {
            optionsEnded = true;
            continue;
        }
        Argument name = argument;
        Argument value(std::filesystem::path::string_type{});
        const bool valueInline = text.starts_with("--") && argument.splitAtEquals(name, value);
        const auto spec = std::find_if(specs.begin(), specs.end(),
                                       [&](const OptionSpec& known) { return known.name == name.text(); });
        if (spec == specs.end()) {
            error = "unknown option " + name.text();
            return false;
        }
        if (!spec->takesValue && valueInline) {
            error = name.text() + " takes no value";
            return false;
        }
        if (spec->takesValue && !valueInline) {
            if (i + 1 >= arguments.size()) {
                error = name.text() + " needs a value";
                return false;
            }
            value = arguments[++i];
        }
        if (spec->takesValue && value.text().empty()) {
            error = name.text() + " needs a value";
            return false;
        }
        parsed.options.push_back({&*spec, value});
    }
    return true;
}

} // namespace tools
