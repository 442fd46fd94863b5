#include <iostream>

#include "cli/commands.h"

namespace cli {

int RunScan(const Args&) {
    std::cerr << "tessaly-cli: scan is not available in this build\n";
    return 2;
}

}  // namespace cli
