// tessaly-cli: the command-line front end to the same core the desktop program uses.
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace {

#define TESSALY_CLI_ADDRESS(NAME) &cli::k##NAME##Command,
const std::vector<const cli::Command*> kCommands = {TESSALY_CLI_COMMANDS(TESSALY_CLI_ADDRESS)};
#undef TESSALY_CLI_ADDRESS

int Run(const cli::Command& command, const cli::Args& args) {
    cli::ParsedArgs parsed(command);
    try {
        if (!cli::ParseArgs(args, parsed)) {
            std::cout << cli::CommandUsage(command);
            return cli::kExitOk;
        }
        return command.run(parsed);
    } catch (const cli::UsageError& error) {
        std::cerr << "tessaly-cli " << command.name << ": " << error.what() << "\n"
                  << cli::Synopsis(command) << "'tessaly-cli " << command.name << " --help' says more.\n";
        return cli::kExitUsage;
    } catch (const std::exception& error) {
        std::cerr << "tessaly-cli " << command.name << ": " << error.what() << "\n";
        return cli::kExitFailed;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    if (first == "--help" || first == "-h" || first == "help") {
        std::cout << cli::ProgramUsage(kCommands);
        return cli::kExitOk;
    }
    if (first == "--version") {
        std::cout << "tessaly-cli " << TESSALY_VERSION << "\n";
        return cli::kExitOk;
    }
    for (const cli::Command* command : kCommands) {
        if (first == command->name) return Run(*command, cli::Args(argv + 2, argv + argc));
    }
    if (!first.empty()) std::cerr << "tessaly-cli: unknown command " << first << "\n";
    std::cerr << cli::ProgramUsage(kCommands);
    return cli::kExitUsage;
}
