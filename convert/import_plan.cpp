#include "convert/import_plan.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>

#include "jnx/codec.h"
#include "jnx/product_id_copy.h"
#include "platform/fs.h"
#include "platform/le.h"

namespace convert {

namespace {

using platform::Error;
using platform::ErrorCode;
using platform::Fail;

// A tile larger than this is no web-map tile; refusing it keeps the copy pass's one tile
// in memory small.
constexpr std::int64_t kMaxTileSize = std::int64_t(64) << 20;

// Texts taken from the source unasked are cut so the map block keeps its 1024 bytes.
constexpr std::size_t kMaxDefaultName = 160;
constexpr std::size_t kMaxAttribution = 80;

std::string CutUtf8(std::string text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

bool ChooseZooms(TileSource& source, const std::string& path, const ImportOptions& options, std::vector<int>& zooms,
                 Error& error) {
    std::vector<int> present;
    if (!source.Zooms(present, error)) return false;
    if (present.empty()) return Fail(error, Error(ErrorCode::ConvertNoTiles).File(path));
    if (options.zooms.empty()) {
        const std::size_t keep = std::min(present.size(), std::size_t(kDefaultZoomCount));
        zooms.assign(present.end() - std::ptrdiff_t(keep), present.end());
        return true;
    }
    for (int zoom : options.zooms) {
        if (!std::binary_search(present.begin(), present.end(), zoom))
            return Fail(error, Error(ErrorCode::ConvertNoSuchZoom).File(path).Value(zoom));
    }
    zooms = options.zooms;
    return true;
}

// Looks at every tile of the zooms; counts those that are not JPEG by format.
bool SurveyTiles(TileSource& source, const std::string& path, ImportPlan& plan, std::vector<jnx::JnxTile>& jnxTiles,
                 std::map<std::string, std::int64_t>& refused, Error& error, const ImportProgress& progress) {
    for (int zoom : plan.zooms) {
        const std::size_t levelStart = plan.tiles.size();
        std::int64_t visited = 0;
        const auto visit = [&](const TileKey& key, std::int64_t size, const Bytes& head, const ReadImageBytes& more,
                               Error& e) {
            ++visited;
            if (plan.tiles.size() > levelStart && plan.tiles.back().key == key)
                return Fail(e, Error(ErrorCode::ConvertBadSource).File(path).Detail(
                                   "it holds two tiles " + source.Describe(key)));
            if (size <= 0) return Fail(e, Error(ErrorCode::ConvertEmptyTile).File(path).Detail(source.Describe(key)));
            if (size > kMaxTileSize)
                return Fail(e, Error(ErrorCode::ConvertBadSource).File(path).Detail(
                                   "the tile " + source.Describe(key) + " is larger than 64 MiB"));
            TileImage image;
            if (!InspectTile(head, size, more, image, e)) return false;
            if (image.format != ImageFormat::Jpeg) {
                ++refused[FormatName(image.format)];
                return true;
            }
            plan.tiles.push_back({key, static_cast<std::int32_t>(size), platform::LoadI32(head.data() + 2)});
            jnx::JnxTile tile;
            tile.TileBounds = source.Bounds(key);
            // Narrower than one unit of the map's grid, a tile would have no area on the map.
            if (tile.TileBounds[0] <= tile.TileBounds[2] || tile.TileBounds[1] <= tile.TileBounds[3])
                return Fail(e, Error(ErrorCode::ConvertBadSource).File(path).Detail(
                                   "the tile " + source.Describe(key) +
                                   " is smaller than the map's least step (180/2^31 degrees) across or down"));
            tile.TileAux = {std::uint8_t(image.width), std::uint8_t(image.width >> 8), std::uint8_t(image.height),
                            std::uint8_t(image.height >> 8)};
            tile.DataSize = static_cast<std::int32_t>(size - 2);
            jnxTiles.push_back(tile);
            if (plan.tiles.size() % 256 == 0 && !GoesOn(progress, "reading", std::int64_t(plan.tiles.size()), 0))
                return Fail(e, Error(ErrorCode::Cancelled));
            return true;
        };
        if (!source.Survey(zoom, visit, error)) return false;
        // A zoom folder without tiles in it would make a level without tiles.
        if (visited == 0) return Fail(error, Error(ErrorCode::ConvertNoSuchZoom).File(path).Value(zoom));
        plan.tilesPerZoom.push_back(static_cast<std::int32_t>(std::min<std::size_t>(plan.tiles.size() - levelStart, INT32_MAX)));
    }
    return true;
}

JnxBounds Union(const std::vector<jnx::JnxTile>& tiles) {
    JnxBounds bounds = tiles.front().TileBounds;
    for (const auto& tile : tiles) {
        bounds[0] = std::max(bounds[0], tile.TileBounds[0]);
        bounds[1] = std::max(bounds[1], tile.TileBounds[1]);
        bounds[2] = std::min(bounds[2], tile.TileBounds[2]);
        bounds[3] = std::min(bounds[3], tile.TileBounds[3]);
    }
    return bounds;
}

std::string RefusedFormats(const std::map<std::string, std::int64_t>& refused, std::int64_t& total) {
    std::string text;
    total = 0;
    for (const auto& [format, count] : refused) {
        text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + format;
        total += count;
    }
    return text;
}

jnx::Bytes Z(const std::string& text) { return jnx::EncodeText(text, true); }

// A map's texts are zero-terminated: a zero taken from a source would end one early and
// shift the rest of the block, and the other control bytes show as nothing on a device.
// A tab or line break parts words, and stays as a space.
std::string Printable(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    std::erase_if(text, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    return text;
}

void DescribeMap(const TileSource& source, const SourceTexts& texts, const std::string& path, const ImportOptions& options,
                 const std::vector<int>& zooms, const std::vector<std::int32_t>& perLevel, jnx::FrontPart& front) {
    const std::string given = Printable(texts.name), described = Printable(texts.description);
    const std::string name = CutUtf8(given.empty() ? Printable(platform::BaseNameOf(path)) : given, kMaxDefaultName);
    const std::string title = described.empty() ? name : CutUtf8(described, kMaxDefaultName);
    const jnx::Bytes copyright = Z(CutUtf8(Printable(texts.attribution), kMaxAttribution));

    front.header.Version = options.version;
    front.header.Bounds = Union(front.tiles);
    front.header.ProductId = options.productId;
    front.header.DrawOrder = options.drawOrder;
    front.mapInfo.MapGuid = Z(jnx::NewGuidText());
    front.mapInfo.GroupName = Z(Printable(options.group.value_or(name)));
    front.mapInfo.MapTitle = Z(Printable(options.title.value_or(title)));
    front.mapInfo.ReservedBytes = jnx::ProductIdCopy(options.productId).value_or(jnx::ReservedField{});
    const double centre = (Degrees(front.header.Bounds[0]) + Degrees(front.header.Bounds[2])) / 2.0;
    for (std::size_t k = 0; k < zooms.size(); ++k) {
        const std::int32_t scale = k < options.scales.size() && options.scales[k]
                                       ? *options.scales[k]
                                       : FamilyScale(source.Scale(zooms[k], centre), options.scaleFactor);
        const int zoom = source.ShownZoom(zooms[k]);
        front.levels.push_back({perLevel[k], 0, scale});
        front.levelCopyrights.push_back(copyright);
        front.levelInfos.push_back({Z("Zoom " + std::to_string(zoom)), Z(""), copyright, zoom});
    }
}

}  // namespace

// Each volume is a map of its own to the device, so it has its own GUID; it keeps the
// whole map's texts and scales, so that neighbouring volumes switch levels alike.
bool CutIntoFiles(jnx::FrontPart& whole, const VolumeLimits& limits, TileLayout layout, ImportPlan& plan,
                  Error& error) {
    std::vector<CutTile> cutTiles;
    cutTiles.reserve(plan.tiles.size());
    for (std::size_t i = 0; i < plan.tiles.size(); ++i)
        cutTiles.push_back({plan.tiles[i].key, whole.tiles[i].TileBounds,
                            jnx::kTileEntrySize + std::int64_t(whole.tiles[i].DataSize)});
    const std::int64_t fixedBytes = jnx::DataStart(whole) - jnx::kTileEntrySize * std::int64_t(whole.tiles.size()) +
                                    std::int64_t(sizeof jnx::kTrailer);
    std::vector<std::vector<std::uint32_t>> volumes =
        CutIntoVolumes(cutTiles, plan.tilesPerZoom, fixedBytes, limits, layout);
    cutTiles = {};
    if (volumes.size() > std::size_t(jnx::device::kMaxFiles))
        return Fail(error, Error(ErrorCode::ConvertBeyondDevice).Detail(
                               "it would take " + std::to_string(volumes.size()) + " volumes, and a device holds " +
                               std::to_string(jnx::device::kMaxFiles) + " maps"));

    std::vector<std::uint32_t> levelEnds;
    std::uint32_t end = 0;
    for (std::int32_t count : plan.tilesPerZoom) levelEnds.push_back(end += std::uint32_t(count));
    std::vector<bool> taken(plan.tiles.size(), false);
    plan.volumes = true;
    for (auto& indices : volumes) {
        PlannedFile& file = plan.files.emplace_back();
        jnx::FrontPart& front = file.front;
        front.header = whole.header;
        front.mapInfo = whole.mapInfo;
        front.mapInfo.MapGuid = Z(jnx::NewGuidText());
        std::size_t at = 0;
        for (std::size_t k = 0; k < levelEnds.size(); ++k) {
            const std::size_t from = at;
            while (at < indices.size() && indices[at] < levelEnds[k]) ++at;
            // A coarser zoom without tiles over this volume is no level of it.
            if (at == from) continue;
            jnx::JnxLevel level = whole.levels[k];
            level.TileCount = std::int32_t(at - from);
            front.levels.push_back(level);
            front.levelCopyrights.push_back(whole.levelCopyrights[k]);
            if (k < whole.levelInfos.size()) front.levelInfos.push_back(whole.levelInfos[k]);
        }
        front.tiles.reserve(indices.size());
        for (std::uint32_t i : indices) {
            front.tiles.push_back(whole.tiles[i]);
            taken[i] = true;
        }
        front.header.Bounds = Union(front.tiles);
        file.tiles = std::move(indices);
        if (!jnx::PlaceTilesBackToBack(front, error)) return false;
    }
    plan.leftOut = std::count(taken.begin(), taken.end(), false);
    return true;
}

std::int32_t FamilyScale(std::int32_t scale, double factor) {
    if (factor == 1.0) return scale;
    return static_cast<std::int32_t>(std::clamp(std::llround(scale * factor), 1LL, 2147483647LL));
}

bool SurveyImport(TileSource& source, const std::string& sourcePath, const ImportOptions& options, ImportPlan& plan,
                  jnx::FrontPart& whole, Error& error, const ImportProgress& progress) {
    plan = ImportPlan{};
    whole = jnx::FrontPart{};
    if (!ChooseZooms(source, sourcePath, options, plan.zooms, error)) return false;
    for (std::size_t k = plan.zooms.size(); k < options.scales.size(); ++k) {
        if (options.scales[k]) return Fail(error, Error(ErrorCode::NoSuchLevel).Level(std::int64_t(k) + 1));
    }
    std::map<std::string, std::int64_t> refused;
    if (!SurveyTiles(source, sourcePath, plan, whole.tiles, refused, error, progress)) return false;
    if (!refused.empty()) {
        std::int64_t total = 0;
        const std::string formats = RefusedFormats(refused, total);
        return Fail(error, Error(ErrorCode::ConvertNotJpeg).File(sourcePath).Value(total).Detail(formats));
    }
    SourceTexts texts;
    if (!source.Texts(texts, error)) return false;
    DescribeMap(source, texts, sourcePath, options, plan.zooms, plan.tilesPerZoom, whole);
    return true;
}

bool LayOutFiles(jnx::FrontPart& whole, const VolumeLimits& limits, TileLayout layout, ImportPlan& plan, Error& error) {
    plan.files.clear();
    const bool oneFile = std::all_of(plan.tilesPerZoom.begin(), plan.tilesPerZoom.end(),
                                     [&](std::int32_t count) { return count <= limits.tilesPerLevel; }) &&
                         jnx::LengthBackToBack(whole) <= limits.fileLength;
    if (!oneFile) return CutIntoFiles(whole, limits, layout, plan, error);
    PlannedFile& file = plan.files.emplace_back();
    file.front = std::move(whole);
    file.tiles.resize(plan.tiles.size());
    std::iota(file.tiles.begin(), file.tiles.end(), 0u);
    return jnx::PlaceTilesBackToBack(file.front, error);
}

}  // namespace convert
