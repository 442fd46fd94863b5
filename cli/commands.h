// The subcommands of tessaly-cli, in the order the usage lists them. A new command is a file
// cli/cmd_NAME.cpp that defines `const Command kNAMECommand` and one line here.
#pragma once
#include "cli/options.h"

#define TESSALY_CLI_COMMANDS(X) \
    X(Info)                     \
    X(Save)                     \
    X(Split)                    \
    X(Scan)                     \
    X(Merge)                    \
    X(Check)                    \
    X(Fit)                      \
    X(Import)                   \
    X(Export)                   \
    X(Demo)                     \
    X(Devices)

namespace cli {

#define TESSALY_CLI_DECLARE(NAME) extern const Command k##NAME##Command;
TESSALY_CLI_COMMANDS(TESSALY_CLI_DECLARE)
#undef TESSALY_CLI_DECLARE

}  // namespace cli
