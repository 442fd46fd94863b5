#include <iostream>

#include "cli/commands.h"

namespace cli {

int RunMerge(const Args&) {
    std::cerr << "tessaly-cli: merge is not available in this build\n";
    return 2;
}

}  // namespace cli
