// tessaly-cli: the command-line front end to the same core the desktop program uses.
#include <iostream>
#include <string>

#include "cli/commands.h"

namespace cli {
int RunDemo(const Args& args);
}

namespace {

constexpr const char* kVersion = "0.1.0";

constexpr const char* kUsage =
    "Usage: tessaly-cli COMMAND [ARGUMENTS]\n"
    "Inspect and edit Garmin BirdsEye JNX raster map files (versions 3 and 4).\n"
    "\n"
    "Commands:\n"
    "  info FILE... [--quick] [--json] [--settings PATH]\n"
    "      Read each file and print its version, product ID, group name, map title,\n"
    "      draw order, tile total, bounds, whether it must be regenerated to be\n"
    "      patched, and per level its scale, tiles, zoom row, priority, zoom number\n"
    "      and copyright. --quick skips the tile tables; --json prints a JSON array.\n"
    "  save FILE... [--product-id N] [--group TEXT] [--draw-order N]\n"
    "               [--to-version 3|4] [--level K=ZOOM] [--priority K] [--zoom K=N]\n"
    "               [--replace] [--rename NEW] [--settings PATH]\n"
    "      Write the given values into each file. A file that keeps its version and\n"
    "      can be patched is updated in place; any other is written anew as\n"
    "      NAME_new.jnx beside it. ZOOM is a zoom row's name or its 1-based row\n"
    "      number; a level without --level keeps its scale. --priority K ticks the\n"
    "      priority of level K; --zoom K=N sets the zoom number of level K.\n"
    "      --replace or --rename save as the batch window does: every file is\n"
    "      checked first and none is touched if one cannot be read. --replace puts\n"
    "      a file written anew in its source's place; --rename NEW (one file only)\n"
    "      renames a file updated in place, and is ignored for one written anew.\n"
    "      --zoom does not go with either.\n"
    "  split FILE LEVEL... [--to-version 3|4] [--settings PATH]\n"
    "      Write each named level (1-based) as a file of its own, NAME_LevelK.jnx,\n"
    "      in the folder the split settings give for that level.\n"
    "  scan FOLDER [--recursive] [--json]\n"
    "      Print the batch table of the JNX files in a folder.\n"
    "  merge FILE... [--out DIR] [--to-version 3|4] [--product-id N]\n"
    "                 [--group TEXT] [--draw-order N] [--settings PATH]\n"
    "      Join files of the same area into one new file of at most five levels,\n"
    "      named <yyyymmddhhmmss>join.jnx, in DIR or in the merge folder of the\n"
    "      settings, and print its path.\n"
    "  demo OUT.jnx\n"
    "      Write a small valid version 4 file to try the other commands on.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help (after a command: that command's help)\n"
    "  --version      show the version\n"
    "  --settings PATH  read the settings from PATH instead of the Tessaly.ini the\n"
    "                 desktop program uses\n"
    "\n"
    "Exit status:\n"
    "  0  every file was handled\n"
    "  1  a file could not be read or written, or was refused\n"
    "  2  usage error; no file was touched\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << kUsage;
        return 2;
    }
    const std::string command = argv[1];
    const cli::Args rest(argv + 2, argv + argc);
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kUsage;
        return 0;
    }
    if (command == "--version") {
        std::cout << "tessaly-cli " << kVersion << "\n";
        return 0;
    }
    try {
        if (command == "info") return cli::RunInfo(rest);
        if (command == "save") return cli::RunSave(rest);
        if (command == "split") return cli::RunSplit(rest);
        if (command == "scan") return cli::RunScan(rest);
        if (command == "merge") return cli::RunMerge(rest);
        if (command == "demo") return cli::RunDemo(rest);
    } catch (const std::exception& error) {
        std::cerr << "tessaly-cli: " << error.what() << "\n";
        return 1;
    }
    std::cerr << "tessaly-cli: unknown command " << command << "\n" << kUsage;
    return 2;
}
