#include "cli/options.h"

#include <iostream>

namespace cli {

std::optional<std::string> ParsedArgs::Last(const std::string& name) const {
    const auto it = values.find(name);
    if (it == values.end() || it->second.empty()) return std::nullopt;
    return it->second.back();
}

const std::vector<std::string>& ParsedArgs::All(const std::string& name) const {
    static const std::vector<std::string> kNone;
    const auto it = values.find(name);
    return it == values.end() ? kNone : it->second;
}

std::string ParseArgs(const Args& args, const std::vector<OptionSpec>& known, ParsedArgs& parsed) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const OptionSpec* option = nullptr;
        for (const auto& candidate : known) {
            if (candidate.name == name) option = &candidate;
        }
        if (option == nullptr) return "unknown option " + name;
        if (!option->takesValue) {
            if (equals != std::string::npos) return name + " takes no value";
            parsed.values[name].push_back("");
            continue;
        }
        if (equals != std::string::npos) {
            parsed.values[name].push_back(arg.substr(equals + 1));
        } else if (i + 1 < args.size()) {
            parsed.values[name].push_back(args[++i]);
        } else {
            return name + " needs a value";
        }
    }
    return "";
}

int UsageError(const std::string& message, const char* usage) {
    std::cerr << "tessaly-cli: " << message << "\n" << usage;
    return 2;
}

settings::Settings LoadSettings(const ParsedArgs& parsed) {
    if (const auto path = parsed.Last("--settings")) return settings::Settings(*path);
    return settings::Settings(settings::DefaultSettingsPath());
}

std::string ZText(const std::vector<unsigned char>& zstring) {
    std::string text(zstring.begin(), zstring.end());
    if (const std::size_t end = text.find('\0'); end != std::string::npos) text.resize(end);
    return text;
}

}  // namespace cli
