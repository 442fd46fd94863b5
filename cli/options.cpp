#include "cli/options.h"

#include <algorithm>

#include "platform/text.h"

namespace cli {

namespace {

constexpr std::size_t kWidth = 80;
constexpr std::size_t kHelpColumn = 22;

const Option* Find(const Command& command, const std::string& name) {
    for (const Option& option : command.options) {
        if (name == option.name || (option.alias != nullptr && name == option.alias)) return &option;
    }
    return nullptr;
}

// Words filled into lines of at most kWidth characters: the first line starts with lead,
// the others with indent blanks. A word longer than a line gets a line of its own.
std::string Fill(const std::vector<std::string>& words, std::string line, std::size_t indent) {
    std::string out;
    bool lineHasWord = false;
    for (const std::string& word : words) {
        if (lineHasWord && line.size() + 1 + word.size() > kWidth) {
            out += line + "\n";
            line.assign(indent, ' ');
        }
        if (!line.empty() && line.back() != ' ') line += ' ';
        line += word;
        lineHasWord = true;
    }
    return out + line + "\n";
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while ((at = text.find_first_not_of(' ', at)) != std::string::npos) {
        const std::size_t end = text.find(' ', at);
        words.push_back(text.substr(at, end - at));
        at = end;
    }
    return words;
}

std::string Usage(const Option& option) {
    std::string text = option.name;
    if (option.argument != nullptr) text += std::string(" ") + option.argument;
    return "[" + text + "]" + (option.repeatable ? "..." : "");
}

std::vector<std::string> SynopsisWords(const Command& command) {
    std::vector<std::string> words = Words(command.operands);
    for (const Option& option : command.options) words.push_back(Usage(option));
    return words;
}

}  // namespace

const std::vector<std::string>& ParsedArgs::All(const std::string& name) const {
    static const std::vector<std::string> kNone;
    const auto it = values_.find(name);
    return it == values_.end() ? kNone : it->second;
}

std::optional<std::string> ParsedArgs::Last(const std::string& name) const {
    const auto& values = All(name);
    if (values.empty()) return std::nullopt;
    return values.back();
}

bool ParseArgs(const Args& args, ParsedArgs& parsed) {
    const Command& command = parsed.command();
    // A request for the usage wins over anything else on the line, wherever it stands.
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h") return false;
    }
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const Option* option = Find(command, name);
        if (option == nullptr) throw UsageError("unknown option " + name);
        if (option->argument == nullptr) {
            if (equals != std::string::npos) throw UsageError(name + " takes no value");
            parsed.Add(option->name, "");
        } else if (equals != std::string::npos) {
            parsed.Add(option->name, arg.substr(equals + 1));
        } else if (i + 1 < args.size()) {
            parsed.Add(option->name, args[++i]);
        } else {
            throw UsageError(name + " needs a value");
        }
    }
    const std::size_t count = parsed.operands.size();
    if (count < command.minOperands) throw UsageError(std::string("missing arguments: expected ") + command.operands);
    if (count > command.maxOperands) throw UsageError("unexpected argument " + parsed.operands[command.maxOperands]);
    return true;
}

std::string Synopsis(const Command& command) {
    const std::string lead = std::string("usage: tessaly-cli ") + command.name;
    return Fill(SynopsisWords(command), lead, lead.size() + 1);
}

std::string CommandUsage(const Command& command) {
    std::string out = Synopsis(command) + Fill(Words(command.summary), "", 0) + "\nOptions:\n";
    std::vector<Option> options = command.options;
    options.push_back({"--help", nullptr, "show this help", false, "-h"});
    for (const Option& option : options) {
        std::string left = "  ";
        if (option.alias != nullptr) left += std::string(option.alias) + ", ";
        left += option.name;
        if (option.argument != nullptr) left += std::string(" ") + option.argument;
        if (left.size() + 2 > kHelpColumn) {
            out += left + "\n";
            left.clear();
        }
        left.resize(kHelpColumn, ' ');
        out += Fill(Words(option.help), left, kHelpColumn);
    }
    return out;
}

std::string ProgramUsage(const std::vector<const Command*>& commands) {
    std::string out =
        "usage: tessaly-cli COMMAND [ARGUMENTS]\n"
        "       tessaly-cli --help | --version\n"
        "Inspect and edit Garmin BirdsEye JNX raster map files (versions 3 and 4).\n"
        "\nCommands:\n";
    for (const Command* command : commands) {
        out += Fill(SynopsisWords(*command), std::string("  ") + command->name, 8);
        out += Fill(Words(command->summary), "      ", 6);
    }
    out += "\n'tessaly-cli COMMAND --help' describes the options of a command.\n"
           "\nResults go to standard output; errors and refusals to standard error.\n"
           "\nExit status:\n"
           "  0  every file was handled\n"
           "  1  a file could not be read or written, or was refused\n"
           "  2  usage error; no file was touched\n";
    return out;
}

settings::Settings LoadSettings(const ParsedArgs& parsed) {
    const auto named = parsed.Last("--settings");
    const std::string path = named ? *named : settings::DefaultSettingsPath();
    const platform::Error problem = settings::SettingsFileProblem(path);
    if (named && problem) throw UsageError(platform::ErrorText(problem));
    // Without any settings file the commands still work, without zoom rows. The default
    // one unusable fails the command; not being named, it is no usage error.
    if (problem && problem.code != platform::ErrorCode::SettingsMissing) {
        throw std::runtime_error(platform::ErrorText(problem));
    }
    return settings::Settings(path);
}

std::string ErrorWithHint(const platform::Error& error) {
    std::string text = platform::ErrorText(error);
    for (const platform::Error* e = &error; e; e = e->cause.get())
        if (e->code == platform::ErrorCode::OutputExists) return text + " (--overwrite replaces it)";
    return text;
}

std::string ZText(const std::vector<unsigned char>& zstring) {
    std::string text(zstring.begin(), zstring.end());
    if (const std::size_t end = text.find('\0'); end != std::string::npos) text.resize(end);
    return text;
}

int WholeNumber(const ParsedArgs& parsed, const char* name, int min, int max, int otherwise, const std::string& what) {
    const auto text = parsed.Last(name);
    if (!text) return otherwise;
    const auto value = platform::ParseInt32(*text);
    if (!value || *value < min || *value > max)
        throw UsageError(
            std::string(name) + " " + *text + ": " +
            (what.empty() ? "a whole number from " + std::to_string(min) + " to " + std::to_string(max) : what));
    return *value;
}

std::vector<int> DistinctNumbers(const std::string& option, const std::string& text, int min, int max,
                                 const std::string& what) {
    std::vector<int> numbers;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = text.find(',', from);
        const std::string item = text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        const auto number = platform::ParseInt32(item);
        if (!number || *number < min || *number > max)
            throw UsageError(option + " " + text + ": \"" + item + "\" is not " + what);
        numbers.push_back(*number);
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

}  // namespace cli
