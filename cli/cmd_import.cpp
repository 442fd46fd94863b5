// tessaly-cli import SOURCE --out OUT.jnx: a map made of the JPEG tiles of an MBTiles
// file, a tile folder or a KMZ's ground overlays, copied as they are.
#include <algorithm>
#include <iostream>
#include <string>

#include "cli/commands.h"
#include "cli/edit_args.h"
#include "cli/device_option.h"
#include "cli/options.h"
#include "cli/progress_line.h"
#include "convert/web_tiles.h"
#include "operations/convert_map.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace cli {

namespace {

// "Z,Z,...": distinct zooms, ascending, no more than a device shows as levels.
std::vector<int> ParseZooms(const std::string& text) {
    const std::vector<int> zooms = DistinctNumbers("--zooms", text, 0, convert::kMaxWebZoom,
                                                   "a zoom from 0 to " + std::to_string(convert::kMaxWebZoom));
    if (zooms.size() > std::size_t(convert::kDefaultZoomCount))
        throw UsageError("--zooms " + text + ": a map shows at most " + std::to_string(convert::kDefaultZoomCount) +
                         " levels on a device");
    return zooms;
}

// An import needs no settings file; only a profile the settings name is taken from it.
const settings::DeviceProfile& ImportProfile(const ParsedArgs& parsed) {
    if (parsed.Has("--device")) return DeviceProfileOf(parsed, settings::Settings(""));
    try {
        return DeviceProfileOf(parsed, LoadSettings(parsed));
    } catch (const UsageError&) {
        throw;
    } catch (const std::runtime_error&) {
        return settings::DefaultDeviceProfile();
    }
}

convert::ImportOptions OptionsOf(const ParsedArgs& parsed) {
    settings::SettingsTables tables;
    bool haveTables = false;
    if (parsed.Has("--level")) {
        const settings::Settings config = LoadSettings(parsed);
        haveTables = settings::CargarCombos(config, tables);
        if (!haveTables) throw std::runtime_error("the settings file " + config.Path() + " has a malformed value");
    }
    EditArgs edit;
    if (const std::string bad = ParseEditArgs(parsed, haveTables ? &tables : nullptr, edit); !bad.empty())
        throw UsageError(bad);
    const edit::EditRequest& request = edit.request;
    convert::ImportOptions options;
    if (const auto zooms = parsed.Last("--zooms")) options.zooms = ParseZooms(*zooms);
    options.version = request.targetVersion.value_or(options.version);
    options.productId = request.productId.value_or(options.productId);
    options.drawOrder = request.drawOrder.value_or(options.drawOrder);
    options.group = request.groupName;
    options.title = parsed.Last("--title");
    options.overwrite = parsed.Has("--overwrite");
    for (std::size_t k = 0; k < options.scales.size(); ++k) options.scales[k] = request.levels[k].scale;
    options.scaleFactor = ImportProfile(parsed).factor;
    return options;
}

int Run(const ParsedArgs& parsed) {
    const std::string& source = parsed.operands.front();
    const auto out = parsed.Last("--out");
    if (!out || out->empty()) throw UsageError("--out OUT.jnx is required");
    std::string extension = platform::ExtensionOf(source);
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    // A KMZ's levels are told apart by resolution, not by zoom, so there is no zoom to pick.
    if (!platform::FolderExists(source) && (extension == "kmz" || extension == "kml") && parsed.Has("--zooms"))
        throw UsageError("--zooms applies to MBTiles and tile folders; a KMZ or KML source gives its five finest levels");
    const convert::ImportOptions options = OptionsOf(parsed);

    ProgressLine line("import " + source);
    const auto progress = [&](const char* pass, std::int64_t done, std::int64_t total) {
        line.Show(pass, done, total);
        return true;
    };
    convert::ImportResult result;
    platform::Error error;
    if (!operations::ImportMap(source, *out, options, result, error, progress)) {
        std::cerr << source << ": " << ErrorWithHint(error) << "\n";
        return kExitFailed;
    }
    for (const convert::WrittenFile& file : result.files) {
        std::string zooms;
        for (int zoom : file.zooms) zooms += (zooms.empty() ? "" : ",") + std::to_string(zoom);
        std::cout << "created " << file.path << " (" << file.tiles << " tiles, zooms " << zooms << ")\n";
    }
    if (result.leftOut > 0)
        std::cout << "left out " << result.leftOut << " tiles of coarser zooms that lie over no tile of zoom "
                  << result.zooms.back() << "\n";
    return kExitOk;
}

}  // namespace

extern const Command kImportCommand{
    "import", "SOURCE", 1, 1,
    "Make a map of the JPEG tiles of an MBTiles file, of a mobile app's SQLite tile store (.sqlitedb) or of a "
    "folder of web-map tiles laid out Z/X/Y.jpg, each zoom a level, coarsest first; or of the north-up ground "
    "overlays of a KMZ or KML file, also those its NetworkLinks lead to inside it, overlays of one ground "
    "resolution a level. The tiles' bytes are copied, never re-encoded. Tiles of any other format are refused. "
    "A map too large for one file on the device is written as volumes OUT_Part01.jnx, OUT_Part02.jnx, ...; "
    "volumes already at those names stop the import unless --overwrite is given.",
    {
        {"--out", "OUT.jnx", "the map to write"},
        {"--zooms", "Z,...", "the zooms to take (at most 5); without it, the five finest the source holds"},
        kToVersionOption,
        {"--product-id", "N", "the product ID, a whole number from -32768 to 32767; 0 without it"},
        {"--group", "TEXT", "the family group name; without it, the source's name"},
        {"--title", "TEXT", "the map title; without it, the source's description, else its name"},
        {"--draw-order", "N", "the draw order (version 4), a whole number from -32768 to 32767"},
        {"--level", "K=ZOOM", "give level K (1 to 5) the scale of a zoom row, named or numbered from 1", true},
        kDeviceOption,
        {"--overwrite", nullptr, "replace volumes an earlier import left at OUT_PartNN.jnx, and remove those beyond the new set"},
        kSettingsOption,
    },
    Run,
};

}  // namespace cli
