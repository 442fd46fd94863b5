// tessaly-cli info: what each file holds, as text or JSON.
#include <iostream>
#include <optional>
#include <string>

#include "check/level_resolution.h"
#include "cli/commands.h"
#include "cli/device_option.h"
#include "cli/json.h"
#include "cli/options.h"
#include "jnx/reader.h"
#include "platform/text.h"
#include "settings/level_ranges.h"
#include "settings/settings.h"

namespace cli {

namespace {

// Bounds are stored in units of 180 / 2^31 degrees.
double Degrees(std::int32_t value) { return static_cast<double>(value) * 180.0 / 2147483648.0; }

// File texts are UTF-8 when this system or most producers wrote them; others wrote Windows-1252.
std::string Display(const jnx::Bytes& zstring) {
    const std::string raw = ZText(zstring);
    return platform::IsValidUtf8(raw) ? raw : platform::Windows1252ToUtf8(raw);
}

struct LevelView {
    std::int32_t scale = 0;
    std::int32_t tiles = 0;
    std::optional<std::string> zoomName;
    std::optional<bool> priority;
    std::optional<std::int32_t> zoom;
    std::string copyright;
    std::optional<std::int32_t> nativeScale;  // measured from the tiles, under the profile
    std::optional<std::string> shownFrom;     // the coarsest row where the device draws it
    std::optional<std::string> shownTo;       // the finest
    std::optional<int> coveredBy;             // 1-based: the level drawn where a hidden one would be
};

// What --device and the settings make of the scales: the profile, and the rows.
struct ScaleView {
    const settings::SettingsTables* tables = nullptr;
    const settings::DeviceProfile* profile = nullptr;
};

std::string RowName(const settings::SettingsTables& tables, int row) {
    return tables.ZoomTable[static_cast<std::size_t>(row)].Name;
}

std::vector<LevelView> Levels(const jnx::JnxDocument& doc, const platform::BinaryFile* file, const ScaleView& view) {
    const settings::SettingsTables* tables = view.tables;
    std::vector<LevelView> out;
    for (std::size_t i = 0; i < doc.Levels.size(); ++i) {
        LevelView level;
        level.scale = doc.Levels[i].Scale;
        level.tiles = doc.Levels[i].TileCount;
        if (tables != nullptr) {
            const settings::ZoomMatch match = settings::RowForScale(tables->ZoomTable, level.scale);
            if (match.row >= 0 && static_cast<std::size_t>(match.row) < tables->ZoomTable.size()) {
                level.zoomName = tables->ZoomTable[static_cast<std::size_t>(match.row)].Name;
                level.priority = match.prioritised;
            }
        }
        if (i < doc.LevelInfos.size()) {
            level.zoom = doc.LevelInfos[i].Zoom;
            level.copyright = Display(doc.LevelInfos[i].Copyright);
        } else if (i < doc.LevelExtras.size()) {
            level.copyright = Display(doc.LevelExtras[i].Copyright);
        }
        out.push_back(level);
    }
    const double factor = view.profile->factor;
    const std::vector<check::LevelResolution> measured = check::MeasureLevels(doc, file);
    for (std::size_t i = 0; i < out.size() && i < measured.size(); ++i)
        if (measured[i].Known()) out[i].nativeScale = measured[i].NativeScale(factor);
    if (tables == nullptr) return out;
    std::vector<std::int32_t> scales;
    for (const LevelView& level : out) scales.push_back(level.scale);
    const std::vector<settings::LevelRange> ranges = settings::LevelRanges(tables->ZoomTable, scales, factor);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const settings::LevelRange& range = ranges[i];
        if (range.Shown()) {
            out[i].shownFrom = RowName(*tables, range.coarsestRow);
            out[i].shownTo = RowName(*tables, range.finestRow);
        } else if (range.coveredBy >= 0) {
            out[i].coveredBy = range.coveredBy + 1;
        }
    }
    return out;
}

template <typename T, typename Write>
void Optional(JsonWriter& json, const char* key, const std::optional<T>& value, Write write) {
    json.Key(key);
    value ? write(*value) : void(json.Null());
}

void JsonFile(JsonWriter& json, const std::string& file, bool ok, const std::string& error, const jnx::JnxDocument& doc,
              const platform::BinaryFile* tileFile, std::int32_t totalTiles, const ScaleView& view) {
    json.BeginObject();
    json.Key("file").Name(file);
    json.Key("ok").Bool(ok);
    if (!ok) {
        json.Key("error").String(error);
        json.EndObject();
        return;
    }
    const jnx::JnxHeader& h = doc.Header;
    json.Key("version").Int(h.Version);
    json.Key("product_id").Int(h.ProductId);
    json.Key("group_name").String(Display(doc.MapInfo.GroupName));
    json.Key("map_title").String(Display(doc.MapInfo.MapTitle));
    json.Key("draw_order").Int(h.DrawOrder);
    json.Key("tile_total").Int(totalTiles);
    json.Key("needs_regeneration").Bool(doc.NeedsRegeneration);
    json.Key("bounds").BeginObject();
    json.Key("north").Double(Degrees(h.Bounds[0]));
    json.Key("east").Double(Degrees(h.Bounds[1]));
    json.Key("south").Double(Degrees(h.Bounds[2]));
    json.Key("west").Double(Degrees(h.Bounds[3]));
    json.EndObject();
    json.Key("device").String(view.profile->name);
    json.Key("levels").BeginArray();
    for (const LevelView& level : Levels(doc, tileFile, view)) {
        json.BeginObject();
        json.Key("scale").Int(level.scale);
        json.Key("tiles").Int(level.tiles);
        json.Key("zoom_name");
        level.zoomName ? json.String(*level.zoomName) : json.Null();
        json.Key("priority");
        level.priority ? json.Bool(*level.priority) : json.Null();
        json.Key("zoom");
        level.zoom ? json.Int(*level.zoom) : json.Null();
        json.Key("copyright").String(level.copyright);
        Optional(json, "native_scale", level.nativeScale, [&](std::int32_t v) { json.Int(v); });
        Optional(json, "shown_from", level.shownFrom, [&](const std::string& v) { json.String(v); });
        Optional(json, "shown_to", level.shownTo, [&](const std::string& v) { json.String(v); });
        Optional(json, "covered_by", level.coveredBy, [&](int v) { json.Int(v); });
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
}

void TextFile(std::ostream& out, const std::string& file, const jnx::JnxDocument& doc,
              const platform::BinaryFile* tileFile, std::int32_t totalTiles, const ScaleView& view) {
    const jnx::JnxHeader& h = doc.Header;
    out << file << "\n"
        << "  version:            " << h.Version << "\n"
        << "  product ID:         " << h.ProductId << "\n"
        << "  group name:         " << Display(doc.MapInfo.GroupName) << "\n"
        << "  map title:          " << Display(doc.MapInfo.MapTitle) << "\n"
        << "  draw order:         " << h.DrawOrder << "\n"
        << "  tiles:              " << totalTiles << "\n"
        << "  needs regeneration: " << (doc.NeedsRegeneration ? "yes" : "no") << "\n"
        << "  bounds:             north " << Degrees(h.Bounds[0]) << ", east " << Degrees(h.Bounds[1]) << ", south "
        << Degrees(h.Bounds[2]) << ", west " << Degrees(h.Bounds[3]) << "\n";
    int index = 1;
    for (const LevelView& level : Levels(doc, tileFile, view)) {
        out << "  level " << index++ << ": scale " << level.scale << ", " << level.tiles << " tiles, zoom row "
            << (level.zoomName ? *level.zoomName : "-");
        if (level.priority) out << (*level.priority ? " (priority)" : "");
        out << ", zoom " << (level.zoom ? std::to_string(*level.zoom) : "-") << ", copyright \"" << level.copyright
            << "\"\n";
        if (view.tables == nullptr) continue;
        out << "    shown (" << view.profile->name << "): ";
        if (level.shownFrom)
            out << "from " << *level.shownFrom << " to " << *level.shownTo;
        else if (level.coveredBy)
            out << "never, level " << *level.coveredBy << " is drawn instead";
        else
            out << "never, its scale is below every zoom row";
        if (level.nativeScale) out << "; imagery calls for scale " << *level.nativeScale;
        out << "\n";
    }
}

// The reading of one file, kept apart from its printing.
struct FileRead {
    bool ok = false;
    std::string error;
    jnx::JnxDocument doc;
    std::int32_t totalTiles = 0;
    platform::BinaryFile tiles;  // open when the tile tables were read: their JPEG headers give pixel sizes
};

FileRead ReadFile(const std::string& file, bool quick) {
    FileRead read;
    platform::Error error;
    read.ok = jnx::ReadJnx(read.doc, file, read.totalTiles, error, quick ? jnx::ReadDepth::Quick : jnx::ReadDepth::Tables);
    if (!read.ok) read.error = platform::ErrorText(error);
    if (read.ok && !quick) read.tiles.Open(file, platform::BinaryFile::Mode::Read, error);
    return read;
}

int Run(const ParsedArgs& parsed) {
    const settings::Settings config = LoadSettings(parsed);
    settings::SettingsTables tables;
    const bool haveTables = settings::CargarCombos(config, tables);
    if (!haveTables) {
        std::cerr << "tessaly-cli: the settings file " << config.Path()
                  << " has a malformed value; zoom rows are not shown\n";
    }

    const settings::DeviceProfile profile = DeviceProfileOf(parsed, config);
    const ScaleView view{haveTables ? &tables : nullptr, &profile};
    const bool json = parsed.Has("--json");
    const bool quick = parsed.Has("--quick");
    JsonWriter writer;
    if (json) writer.BeginArray();
    int exitCode = kExitOk;
    for (const std::string& file : parsed.operands) {
        const FileRead read = ReadFile(file, quick);
        const platform::BinaryFile* tileFile = read.tiles.IsOpen() ? &read.tiles : nullptr;
        if (!read.ok) {
            exitCode = kExitFailed;
            std::cerr << file << ": " << read.error << "\n";
        }
        if (json) {
            JsonFile(writer, file, read.ok, read.error, read.doc, tileFile, read.totalTiles, view);
        } else if (read.ok) {
            TextFile(std::cout, file, read.doc, tileFile, read.totalTiles, view);
        }
    }
    if (json) {
        writer.EndArray();
        std::cout << writer.Text() << "\n";
    }
    return exitCode;
}

}  // namespace

extern const Command kInfoCommand{
    "info", "FILE...", 1, Command::kAny,
    "Read each file and print its version, product ID, group name, map title, draw order, tile total, bounds, "
    "whether it must be regenerated to be patched, and per level its scale, tiles, zoom row, priority, zoom number "
    "and copyright; with the zoom rows, the rows where the device shows it under the device profile and the scale "
    "its imagery calls for.",
    {
        {"--quick", nullptr, "skip the tile tables, which is faster on large files"},
        {"--json", nullptr, "print one JSON array with an object per file"},
        kDeviceOption,
        kFactorOption,
        kSettingsOption,
    },
    Run,
};

}  // namespace cli
