// tessaly-cli import SOURCE --out OUT.jnx: a map made of the JPEG tiles of an MBTiles
// file, a tile folder or a KMZ's ground overlays, copied as they are, or of a georeferenced
// raster, warped and encoded.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>

#include "cli/commands.h"
#include "cli/edit_args.h"
#include "cli/device_option.h"
#include "cli/options.h"
#include "cli/json.h"
#include "cli/progress_line.h"
#include "convert/raster_source.h"
#include "convert/web_tiles.h"
#include "operations/convert_map.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "settings/level_ranges.h"

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

// How a raster's tiles are made; the options are refused for sources whose tiles are copied.
convert::RasterOptions RasterOptionsOf(const ParsedArgs& parsed) {
    convert::RasterOptions raster;
    raster.quality = WholeNumber(parsed, "--quality", 1, 100, raster.quality);
    raster.levels = WholeNumber(parsed, "--levels", 1, convert::kDefaultZoomCount, raster.levels);
    if (const auto chroma = parsed.Last("--subsampling")) {
        if (*chroma != "420" && *chroma != "444") throw UsageError("--subsampling " + *chroma + ": 420 or 444");
        raster.fullChroma = *chroma == "444";
    }
    if (const auto text = parsed.Last("--resampling")) {
        const std::size_t comma = text->find(',');
        const auto finest = convert::ResamplingNamed(text->substr(0, comma));
        const auto coarser = comma == std::string::npos ? finest : convert::ResamplingNamed(text->substr(comma + 1));
        if (!finest || !coarser)
            throw UsageError("--resampling " + *text +
                             ": near, bilinear, cubic, cubicspline, lanczos, average or mode, or two of them, "
                             "finest level first");
        raster.finest = *finest;
        raster.coarser = *coarser;
    }
    raster.overviews = parsed.Has("--overviews");
    return raster;
}

// --tile-size: a raster's tiles are made that size; a tile source's are joined to it, as
// many of its tiles a side as 256-pixel tiles would take. Without it, both are Auto.
void TileSizeOf(const ParsedArgs& parsed, bool raster, convert::ImportOptions& options) {
    const std::string size = parsed.Last("--tile-size").value_or("auto");
    const auto pixels = size == "auto" ? std::optional<int>(0) : platform::ParseInt32(size);
    const auto join = pixels ? convert::JoinForTileSize(*pixels) : std::nullopt;
    if (!join) throw UsageError("--tile-size " + size + ": auto, 256, 512 or 1024");
    options.raster.tileSize = *pixels;
    options.join = raster ? convert::TileJoin::None : *join;
    options.reencodeQuality = WholeNumber(parsed, "--reencode", 1, 100, 0);
    if (options.reencodeQuality > 0 && options.join == convert::TileJoin::None)
        throw UsageError("--reencode applies where tiles are joined: --tile-size auto, 512 or 1024 of a tile source");
    if (const auto fill = parsed.Last("--fill")) {
        const auto colour = convert::ParseFillColour(*fill);
        if (!colour) throw UsageError("--fill " + *fill + ": white, black or a colour as #RRGGBB");
        options.fill = *colour;
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
    // An import needs no settings file; only a profile the settings name, or the custom
    // profile's factor when --factor does not give it, is taken from it.
    options.scaleFactor = DeviceProfileOrDefault(parsed, true).factor;
    options.raster = RasterOptionsOf(parsed);
    TileSizeOf(parsed, convert::IsRasterFile(parsed.operands.front()), options);
    return options;
}

// Rows of the zoom table a level is drawn at under the profile; none without the table.
struct ShownRows {
    std::string from, to;
    int coveredBy = -1;  // 1-based level; -1: none
};

std::vector<ShownRows> RowsOf(const ParsedArgs& parsed, const convert::RasterPlan& plan, double factor) {
    std::vector<ShownRows> rows(plan.levels.size());
    settings::SettingsTables tables;
    if (!settings::CargarCombos(LoadSettings(parsed), tables)) return rows;
    std::vector<std::int32_t> scales;
    for (const convert::RasterLevel& level : plan.levels) scales.push_back(level.scale);
    const std::vector<settings::LevelRange> ranges = settings::LevelRanges(tables.ZoomTable, scales, factor);
    for (std::size_t k = 0; k < rows.size(); ++k) {
        if (ranges[k].Shown()) {
            rows[k].from = tables.ZoomTable[std::size_t(ranges[k].coarsestRow)].Name;
            rows[k].to = tables.ZoomTable[std::size_t(ranges[k].finestRow)].Name;
        } else {
            rows[k].coveredBy = ranges[k].coveredBy + (ranges[k].coveredBy >= 0);
        }
    }
    return rows;
}

// The levels a raster import would make, without making them.
int ShowPlan(const ParsedArgs& parsed, const std::string& source, const convert::ImportOptions& options) {
    convert::RasterPlan plan;
    platform::Error error;
    if (!convert::PlanRaster(source, options, plan, error)) {
        std::cerr << source << ": " << ErrorWithHint(error) << "\n";
        return kExitFailed;
    }
    const std::vector<ShownRows> rows = RowsOf(parsed, plan, options.scaleFactor);
    if (parsed.Has("--json")) {
        JsonWriter json;
        json.BeginObject().Key("source").Name(source).Key("tile_size").Int(plan.tileSize);
        json.Key("volumes").Bool(plan.volumes).Key("levels").BeginArray();
        for (std::size_t k = 0; k < plan.levels.size(); ++k) {
            const convert::RasterLevel& level = plan.levels[k];
            json.BeginObject().Key("zoom").Int(level.zoom).Key("tiles").Int(level.Tiles());
            json.Key("columns").Int(level.columns).Key("rows").Int(level.rows);
            json.Key("width").Int(level.width).Key("height").Int(level.height);
            json.Key("metres_per_pixel").Double(level.metresPerPixel).Key("scale").Int(level.scale);
            json.Key("overview");  // 1-based, as gdalinfo lists them; null: the raster itself
            level.overview < 0 ? void(json.Null()) : void(json.Int(level.overview + 1));
            json.Key("shown_from");
            rows[k].from.empty() ? void(json.Null()) : void(json.String(rows[k].from));
            json.Key("shown_to");
            rows[k].to.empty() ? void(json.Null()) : void(json.String(rows[k].to));
            json.Key("covered_by");
            rows[k].coveredBy < 0 ? void(json.Null()) : void(json.Int(rows[k].coveredBy));
            json.EndObject();
        }
        json.EndArray().EndObject();
        std::cout << json.Text() << "\n";
        return kExitOk;
    }
    std::cout << source << ": tiles of " << plan.tileSize << " pixels" << (plan.volumes ? ", written as volumes" : "")
              << "\n";
    for (std::size_t k = 0; k < plan.levels.size(); ++k) {
        const convert::RasterLevel& level = plan.levels[k];
        char metres[32];
        const double m = level.metresPerPixel;
        std::snprintf(metres, sizeof metres, "%.*f", m < 10 ? 2 : m < 100 ? 1 : 0, m);
        std::cout << "level " << k + 1 << ": zoom " << level.zoom << ", " << level.Tiles() << " tiles ("
                  << level.columns << " x " << level.rows << "), " << level.width << " x " << level.height
                  << " pixels of " << metres << " m, scale " << level.scale;
        if (level.overview >= 0) std::cout << ", from overview " << level.overview + 1;
        if (!rows[k].from.empty())
            std::cout << ", shown from " << rows[k].from << " to " << rows[k].to;
        else if (rows[k].coveredBy >= 0)
            std::cout << ", never shown: level " << rows[k].coveredBy << " is drawn instead";
        std::cout << "\n";
    }
    return kExitOk;
}

// The levels a tile source's import would make, joined as it would join them; the source is
// read through once, as the import's first pass reads it.
int ShowJoin(const ParsedArgs& parsed, const std::string& source, const convert::ImportOptions& options) {
    convert::ImportPreview preview;
    platform::Error error;
    if (!convert::PreviewImport(source, options, preview, error)) {
        std::cerr << source << ": " << ErrorWithHint(error) << "\n";
        return kExitFailed;
    }
    if (parsed.Has("--json")) {
        JsonWriter json;
        json.BeginObject().Key("source").Name(source).Key("tile_size").Int(preview.tileWidth);
        json.Key("tile_height").Int(preview.tileHeight).Key("factor").Int(preview.factor);
        json.Key("volumes").Bool(preview.files > 1).Key("levels").BeginArray();
        for (std::size_t k = 0; k < preview.zooms.size(); ++k) {
            json.BeginObject().Key("zoom").Int(preview.zooms[k]).Key("tiles").Int(preview.tiles[k]);
            json.Key("source_tiles").Int(preview.sourceTiles[k]).EndObject();
        }
        json.EndArray().EndObject();
        std::cout << json.Text() << "\n";
        return kExitOk;
    }
    std::cout << source << ": tiles of " << preview.tileWidth << " x " << preview.tileHeight << " pixels";
    if (preview.factor > 1) std::cout << ", joined " << preview.factor << " x " << preview.factor;
    std::cout << (preview.files > 1 ? ", written as " + std::to_string(preview.files) + " volumes" : "") << "\n";
    for (std::size_t k = 0; k < preview.zooms.size(); ++k)
        std::cout << "level " << k + 1 << ": zoom " << preview.zooms[k] << ", " << preview.tiles[k] << " tiles ("
                  << preview.sourceTiles[k] << " in the source)\n";
    return kExitOk;
}

int Run(const ParsedArgs& parsed) {
    const std::string& source = parsed.operands.front();
    const auto out = parsed.Last("--out");
    if ((!out || out->empty()) && !parsed.Has("--dry-run")) throw UsageError("--out OUT.jnx is required");
    std::string extension = platform::ExtensionOf(source);
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    // A KMZ's levels are told apart by resolution, not by zoom, so there is no zoom to pick.
    if (!platform::FolderExists(source) && (extension == "kmz" || extension == "kml") && parsed.Has("--zooms"))
        throw UsageError("--zooms applies to MBTiles and tile folders; a KMZ or KML source gives its five finest levels");
    const bool raster = convert::IsRasterFile(source);
    for (const char* option : {"--quality", "--levels", "--resampling", "--subsampling", "--overviews"}) {
        if (!raster && parsed.Has(option))
            throw UsageError(std::string(option) + " applies to rasters, whose tiles are made; other sources' tiles are copied");
    }
    if (raster && parsed.Has("--levels") && parsed.Has("--zooms"))
        throw UsageError("--levels and --zooms both choose a raster's levels; give one of them");
    if (parsed.Has("--json") && !parsed.Has("--dry-run")) throw UsageError("--json applies to --dry-run");
    if (raster && parsed.Has("--reencode"))
        throw UsageError(
            "--reencode applies to tile sources, whose tiles are joined; a raster's are encoded at --quality");
    const convert::ImportOptions options = OptionsOf(parsed);
    if (parsed.Has("--dry-run")) return raster ? ShowPlan(parsed, source, options) : ShowJoin(parsed, source, options);

    ProgressLine line("import " + source);
    convert::ImportResult result;
    platform::Error error;
    if (!operations::ImportMap(source, *out, options, result, error, line.AsProgress())) {
        std::cerr << source << ": " << ErrorWithHint(error) << "\n";
        return kExitFailed;
    }
    for (const convert::WrittenFile& file : result.files) {
        std::string zooms;
        for (int zoom : file.zooms) zooms += (zooms.empty() ? "" : ",") + std::to_string(zoom);
        std::cout << "created " << file.path << " (" << file.tiles << " tiles, zooms " << zooms << ")\n";
    }
    if (result.notJoined)
        std::cout << "tiles copied as they are, not joined: " << platform::ErrorText(result.notJoined) << "\n";
    if (result.factor > 1)
        std::cout << "tiles joined " << result.factor << " x " << result.factor
                  << (result.reencoded == 0 ? ""
                                            : ", " + std::to_string(result.reencoded) +
                                                  " of them re-encoded, LOSSY: their tiles' tables differ")
                  << "\n";
    if (result.leftOut > 0)
        std::cout << "left out " << result.leftOut << " tiles of coarser zooms that lie over no tile of zoom "
                  << result.zooms.back() << "\n";
    return kExitOk;
}

}  // namespace

extern const Command kImportCommand{
    "import",
    "SOURCE",
    1,
    1,
    "Make a map of the JPEG tiles of an MBTiles file, of a mobile app's SQLite tile store (.sqlitedb) or of a "
    "folder of web-map tiles laid out Z/X/Y.jpg, each zoom a level, coarsest first; or of the north-up ground "
    "overlays of a KMZ or KML file, also those its NetworkLinks lead to inside it, overlays of one ground "
    "resolution a level. The tiles' bytes are copied, or joined into larger tiles without re-encoding "
    "(--tile-size). Tiles of any other format are refused. "
    "A georeferenced raster GDAL reads (GeoTIFF, VRT, JPEG 2000, a PNG or JPEG with a world file...) is warped "
    "to latitude and longitude in its own projection and datum and encoded as JPEG tiles, in up to five levels "
    "from its own resolution down, each half the resolution of the next, named by the nearest web-map zoom. "
    "A map too large for one file on the device is written as volumes OUT_Part01.jnx, OUT_Part02.jnx, ...; "
    "volumes already at those names stop the import unless --overwrite is given.",
    {
        {"--out", "OUT.jnx", "the map to write"},
        {"--zooms", "Z,...", "the zooms to take (at most 5); without it, the five finest the source holds"},
        {"--levels", "N", "a raster's levels (1 to 5, 5 without it), from its own resolution down"},
        {"--quality", "Q", "a raster's JPEG quality, 1 to 100; 85 without it"},
        {"--tile-size", "auto|256|512|1024",
         "the map's tile size: a raster's tiles are made that size; a tile source's are joined 2 x 2 (512) or 4 x 4 "
         "(1024) losslessly through their JPEG coefficients, groups on the web grid, or copied as they are (256), "
         "the factor applied to tiles of another size as to 256-pixel ones; auto (the default) takes the least that "
         "keeps each level within 50000 tiles, else the largest, in volumes"},
        {"--reencode", "Q",
         "where joined tiles cannot share one image because their quantisation tables or sampling differ, decode "
         "those groups and encode them again at JPEG quality Q (1 to 100): LOSSY, and counted in the output; without "
         "it such tiles stop the import, named, or under auto are copied as they are"},
        {"--resampling", "R[,R]",
         "how a raster is resampled: near, bilinear, cubic, cubicspline, lanczos, average or mode, for every level "
         "or for the finest and then the coarser ones; cubic,average without it"},
        {"--subsampling", "420|444", "a raster's chroma subsampling; 420 without it"},
        {"--overviews", nullptr,
         "a raster's coarser levels at the resolutions of its own overviews, read from them, instead of each half "
         "the next"},
        {"--fill", "COLOUR",
         "what a raster's tiles show where it has no data, and a joined tile where a neighbour is missing: white (the "
         "default), black, or #RRGGBB"},
        {"--dry-run", nullptr,
         "write nothing; list the levels the import would make: for a raster its tiles, pixels, scale and the zoom "
         "rows each is shown at; for a tile source, read through once, the tile size chosen and each level's tiles "
         "after joining"},
        {"--json", nullptr, "with --dry-run, the levels as JSON"},
        kToVersionOption,
        {"--product-id", "N", "the product ID, a whole number from -32768 to 32767; 0 without it"},
        {"--group", "TEXT", "the family group name; without it, the source's name"},
        {"--title", "TEXT", "the map title; without it, the source's description, else its name"},
        {"--draw-order", "N", "the draw order (version 4), a whole number from -32768 to 32767"},
        {"--level", "K=ZOOM", "give level K (1 to 5) the scale of a zoom row, named or numbered from 1", true},
        kDeviceOption,
        kFactorOption,
        {"--overwrite", nullptr,
         "replace volumes an earlier import left at OUT_PartNN.jnx, and remove those beyond the new set"},
        kSettingsOption,
    },
    Run,
};

}  // namespace cli
