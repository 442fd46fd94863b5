// Argument parsing and settings loading shared by the tessaly-cli subcommands.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "settings/settings.h"

namespace cli {

struct OptionSpec {
    std::string name;  // with its dashes, e.g. "--json"
    bool takesValue = false;
};

struct ParsedArgs {
    std::vector<std::string> positional;
    // Every occurrence of each option in order; a flag records "".
    std::map<std::string, std::vector<std::string>> values;
    bool help = false;  // --help or -h was given

    bool Has(const std::string& name) const { return values.count(name) != 0; }
    // Last value of an option, or nothing.
    std::optional<std::string> Last(const std::string& name) const;
    const std::vector<std::string>& All(const std::string& name) const;
};

// Accepts "--name value" and "--name=value"; "--" ends the options. Returns the usage
// error text, or "" on success.
std::string ParseArgs(const Args& args, const std::vector<OptionSpec>& specs, ParsedArgs& parsed);

// Prints "tessaly-cli: <message>" and the usage on stderr; returns 2.
int UsageError(const std::string& message, const char* usage);

// The settings of --settings PATH, else the file the desktop program would use.
settings::Settings LoadSettings(const ParsedArgs& parsed);

// Text of a zero-terminated string held with its terminator.
std::string ZText(const std::vector<unsigned char>& zstring);

}  // namespace cli
