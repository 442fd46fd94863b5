// tessaly-cli export FILE --out OUT.mbtiles|OUT.kmz: a map as MBTiles (on the web-map grid
// only) or as KMZ ground overlays (any map), its JPEG bytes copied as they are.
#include <iostream>
#include <limits>
#include <string>

#include "cli/commands.h"
#include "cli/options.h"
#include "cli/progress_line.h"
#include "operations/convert_map.h"

namespace cli {

namespace {

int Run(const ParsedArgs& parsed) {
    const std::string& file = parsed.operands.front();
    const auto out = parsed.Last("--out");
    if (!out || out->empty()) throw UsageError("--out OUT.mbtiles or --out OUT.kmz is required");
    const auto format = operations::ExportFormatOf(*out);
    if (!format) throw UsageError("--out " + *out + ": the output must be an .mbtiles or a .kmz file");
    std::vector<int> levels;
    if (const auto wanted = parsed.Last("--levels"))
        levels = DistinctNumbers("--levels", *wanted, 1, std::numeric_limits<int>::max(), "a level number");

    ProgressLine line("export " + file);
    const auto progress = [&](const char* pass, std::int64_t done, std::int64_t total) {
        line.Show(pass, done, total);
        return true;
    };
    convert::ExportResult result;
    platform::Error error;
    if (!operations::ExportMap(file, *out, *format, levels, result, error, progress)) {
        std::cerr << file << ": " << platform::ErrorText(error) << "\n";
        return kExitFailed;
    }
    std::string zooms;
    for (int zoom : result.zooms) zooms += (zooms.empty() ? "" : ",") + std::to_string(zoom);
    std::cout << "created " << *out << " (" << result.tiles << " tiles, zooms " << zooms << ")\n";
    return kExitOk;
}

}  // namespace

extern const Command kExportCommand{
    "export", "FILE", 1, 1,
    "Write the map's levels as MBTiles or as KMZ ground overlays, each tile the JPEG it holds, byte for byte. "
    "For MBTiles every tile of the levels written must be a web-map tile, one zoom per level; a map off that grid "
    "is refused. KMZ keeps any map as it is, each level a folder shown around its own zoom.",
    {
        {"--out", "OUT.mbtiles|OUT.kmz", "the file to write"},
        {"--levels", "K,...", "the levels to write (numbered from 1); without it, all"},
    },
    Run,
};

}  // namespace cli
