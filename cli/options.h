// The one declaration each subcommand makes of its arguments, and what is built from it:
// the parser, the usage texts and the dispatch all read the same table, so an option can
// neither be parsed without being documented nor documented without being parsed.
#pragma once
#include <cstddef>
#include <limits>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/error.h"
#include "settings/settings.h"

namespace cli {

using Args = std::vector<std::string>;

// The exit status, the same for every command. A refusal (a request the files do not allow,
// such as a level a file lacks) counts as a failure of the work: whether it happens depends
// on the files, not on the command line, and files handled before it may have been written.
// 2 is kept for what can be told from the command line alone, before any file is opened.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct Option {
    const char* name;                // with its dashes: "--json"
    const char* argument = nullptr;  // placeholder of its value in the usage ("PATH"); none for a flag
    const char* help = "";
    bool repeatable = false;         // each value counts (All); otherwise the last one given does
    const char* alias = nullptr;     // a short form such as "-r"
};

// Options several commands share, worded once.
inline constexpr Option kSettingsOption{"--settings", "PATH",
                                        "read the settings from PATH instead of the desktop program's Tessaly.ini"};
inline constexpr Option kOverwriteOption{"--overwrite", nullptr,
                                         "replace files already at the names this command gives its outputs"};
inline constexpr Option kToVersionOption{"--to-version", "3|4", "write the output in this format version"};

class ParsedArgs;

struct Command {
    static constexpr std::size_t kAny = std::numeric_limits<std::size_t>::max();

    const char* name;
    const char* operands;  // as the usage shows them: "FILE..."
    std::size_t minOperands;
    std::size_t maxOperands;
    const char* summary;   // one paragraph; the usage wraps it
    std::vector<Option> options;
    int (*run)(const ParsedArgs&);
};

// Thrown by a command that finds its arguments wrong before it touches anything; main
// prints it with the command's usage and exits with kExitUsage.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class ParsedArgs {
public:
    explicit ParsedArgs(const Command& command) : command_(command) {}

    const Command& command() const { return command_; }
    std::vector<std::string> operands;

    // By the option's long name; an option the command does not declare is never given.
    bool Has(const std::string& name) const { return !All(name).empty(); }
    std::optional<std::string> Last(const std::string& name) const;
    // Every value of the option, in the order given.
    const std::vector<std::string>& All(const std::string& name) const;

    void Add(const std::string& name, std::string value) { values_[name].push_back(std::move(value)); }

private:
    const Command& command_;
    std::map<std::string, std::vector<std::string>> values_;
};

// Accepts "--name value", "--name=value" and aliases; options may come anywhere, "--" ends
// them. Throws UsageError. Returns false when --help or -h asked for the usage instead.
bool ParseArgs(const Args& args, ParsedArgs& parsed);

// The usage of one command: its synopsis, summary and options.
std::string CommandUsage(const Command& command);
// The synopsis alone, shown after a usage error.
std::string Synopsis(const Command& command);
// The usage of the program: every command's synopsis and summary.
std::string ProgramUsage(const std::vector<const Command*>& commands);

// The settings of --settings PATH, else the file the desktop program would use. Throws
// std::runtime_error when PATH cannot be read: a mistyped path must not quietly give the
// defaults' zoom rows and folders.
settings::Settings LoadSettings(const ParsedArgs& parsed);

// The distinct whole numbers of a comma-separated option value, ascending. An item that
// is not one from min to max is a usage error saying it is not `what`.
std::vector<int> DistinctNumbers(const std::string& option, const std::string& text, int min, int max,
                                 const std::string& what);

// The value of an option that takes one whole number from min to max, else otherwise.
// Anything else is a usage error saying it is not `what` (without it, the range).
int WholeNumber(const ParsedArgs& parsed, const char* name, int min, int max, int otherwise,
                const std::string& what = "");

// The English text of an error; where a file stood in the way of an output, it says how
// to replace it.
std::string ErrorWithHint(const platform::Error& error);

// Text of a zero-terminated string held with its terminator.
std::string ZText(const std::vector<unsigned char>& zstring);

}  // namespace cli
