// tessaly-cli export FILE --out OUT.mbtiles|OUT.kmz: a map as MBTiles (on the web-map grid
// only) or as KMZ ground overlays (any map), its JPEG bytes copied as they are; or, with
// --custom-maps, one level as Custom Maps KMZ for units without BirdsEye.
#include <iostream>
#include <limits>
#include <string>

#include "cli/commands.h"
#include "cli/device_option.h"
#include "cli/json.h"
#include "cli/options.h"
#include "cli/progress_line.h"
#include "operations/convert_map.h"

namespace cli {

namespace {

// An export needs no settings file; only a profile the settings name is taken from it.
int ImageBudget(const ParsedArgs& parsed) {
    if (parsed.Has("--device") && parsed.Has("--max-images"))
        throw UsageError("--device and --max-images both set the image budget: give one of them");
    const int maxImages = WholeNumber(parsed, "--max-images", 1, 100000, 0);
    return maxImages > 0 ? maxImages : DeviceProfileOrDefault(parsed, false).maxImages;
}

int RunCustomMaps(const ParsedArgs& parsed, const std::string& file, const std::string& out) {
    if (operations::ExportFormatOf(out) != operations::ExportFormat::Kmz)
        throw UsageError("--out " + out + ": Custom Maps are written as a .kmz file");
    if (parsed.Has("--levels")) throw UsageError("--custom-maps writes one level: choose it with --level K");
    convert::CustomMapsOptions options;
    options.maxImages = ImageBudget(parsed);
    options.level = WholeNumber(parsed, "--level", 1, std::numeric_limits<int>::max(), 0, "a level number");
    options.drawOrder = WholeNumber(parsed, "--draw-order", 0, 100, convert::kCustomMapsDefaultDrawOrder);
    options.overwrite = parsed.Has("--overwrite");
    ProgressLine line("export " + file);
    convert::CustomMapsResult result;
    platform::Error error;
    if (!operations::ExportCustomMaps(file, out, options, result, error, line.AsProgress())) {
        std::cerr << file << ": " << ErrorWithHint(error) << "\n";
        return kExitFailed;
    }
    if (parsed.Has("--json")) {
        JsonWriter json;
        json.BeginObject().Key("file").Name(file).Key("format").String("custom_maps");
        json.Key("level").Int(result.level).Key("joined").Int(result.joined).Key("images").Int(result.images);
        json.Key("max_images").Int(options.maxImages).Key("files").BeginArray();
        for (const convert::CustomMapsFile& written : result.files)
            json.BeginObject().Key("path").Name(written.path).Key("images").Int(written.images).EndObject();
        std::cout << json.EndArray().EndObject().Text() << "\n";
        return kExitOk;
    }
    const auto images = [](auto n) { return std::to_string(n) + (n == 1 ? " image" : " images"); };
    std::cout << "level " << result.level << ": " << images(result.images) << " of up to " << result.joined << " x "
              << result.joined << " tiles, at most " << options.maxImages << " per file\n";
    for (const convert::CustomMapsFile& written : result.files)
        std::cout << "created " << written.path << " (" << images(written.images) << ")\n";
    return kExitOk;
}

int Run(const ParsedArgs& parsed) {
    const std::string& file = parsed.operands.front();
    const auto out = parsed.Last("--out");
    if (!out || out->empty()) throw UsageError("--out OUT.mbtiles or --out OUT.kmz is required");
    const auto format = operations::ExportFormatOf(*out);
    if (!format) throw UsageError("--out " + *out + ": the output must be an .mbtiles or a .kmz file");
    if (parsed.Has("--custom-maps")) return RunCustomMaps(parsed, file, *out);
    for (const char* only : {"--device", "--max-images", "--level", "--draw-order"})
        if (parsed.Has(only)) throw UsageError(std::string(only) + " goes with --custom-maps");
    std::vector<int> levels;
    if (const auto wanted = parsed.Last("--levels"))
        levels = DistinctNumbers("--levels", *wanted, 1, std::numeric_limits<int>::max(), "a level number");

    ProgressLine line("export " + file);
    convert::ExportResult result;
    platform::Error error;
    if (!operations::ExportMap(file, *out, *format, levels, result, error, line.AsProgress())) {
        std::cerr << file << ": " << platform::ErrorText(error) << "\n";
        return kExitFailed;
    }
    if (parsed.Has("--json")) {
        JsonWriter json;
        json.BeginObject().Key("file").Name(file);
        json.Key("format").String(*format == operations::ExportFormat::Kmz ? "kmz" : "mbtiles");
        json.Key("tiles").Int(result.tiles).Key("zooms").BeginArray();
        for (int zoom : result.zooms) json.Int(zoom);
        json.EndArray().Key("files").BeginArray();
        json.BeginObject().Key("path").Name(*out).Key("tiles").Int(result.tiles).EndObject();
        std::cout << json.EndArray().EndObject().Text() << "\n";
        return kExitOk;
    }
    std::string zooms;
    for (int zoom : result.zooms) zooms += (zooms.empty() ? "" : ",") + std::to_string(zoom);
    std::cout << "created " << *out << " (" << result.tiles << " tiles, zooms " << zooms << ")\n";
    return kExitOk;
}

}  // namespace

extern const Command kExportCommand{
    "export",
    "FILE",
    1,
    1,
    "Write the map's levels as MBTiles or as KMZ ground overlays, each tile the JPEG it holds, byte for byte. "
    "For MBTiles every tile of the levels written must be a web-map tile, one zoom per level; a map off that grid "
    "is refused. KMZ keeps any map as it is, each level a folder shown around its own zoom. With --custom-maps, "
    "one level becomes Custom Maps for units without BirdsEye: baseline JPEG images of at most 1024 x 1024 pixels "
    "and under 3 MB, each joined from neighbouring tiles without re-encoding, at most the unit's image budget per "
    "KMZ; the finest level within the budget unless --level names one, and a level that needs more is written as "
    "OUT_1.kmz, OUT_2.kmz, ... each within it.",
    {
        {"--out", "OUT.mbtiles|OUT.kmz", "the file to write"},
        {"--levels", "K,...", "the levels to write (numbered from 1); without it, all"},
        {"--custom-maps", nullptr, "write one level as Custom Maps for units without BirdsEye"},
        kDeviceOption,
        {"--max-images", "N", "at most N images per KMZ file, instead of the device's budget"},
        {"--level", "K", "the level to write as Custom Maps; without it, the finest within the budget"},
        {"--draw-order", "N",
         "the overlays' draw order, 0 to 100 (default 50): a higher one is drawn over a lower one"},
        {"--json", nullptr,
         "print one JSON object: \"file\", \"format\" and the \"files\" written, with \"tiles\" and "
         "\"zooms\", or for Custom Maps \"level\", \"joined\", \"images\" and \"max_images\""},
        kOverwriteOption,
        kSettingsOption,
    },
    Run,
};

}  // namespace cli
