// Subcommands of tessaly-cli. Each takes the arguments after its name and returns the
// exit code: 0 all went well, 1 a file failed or was refused, 2 usage error.
#pragma once
#include <string>
#include <vector>

namespace cli {

using Args = std::vector<std::string>;

int RunInfo(const Args& args);
int RunSave(const Args& args);
int RunSplit(const Args& args);
int RunScan(const Args& args);
int RunMerge(const Args& args);

}  // namespace cli
