#include "convert/export_kmz.h"

#include <zip.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "convert/export_levels.h"
#include "convert/kmz_names.h"
#include "convert/tile_image.h"
#include "convert/web_tiles.h"
#include "convert/kmz_writer.h"
#include "jnx/codec.h"
#include "jnx/reader.h"
#include "platform/binary_file.h"
#include "platform/fs.h"
#include "platform/new_file.h"

namespace convert {

namespace {

using platform::Error;
using platform::ErrorCode;
using platform::Fail;

std::string Data(const char* name, const std::string& value) {
    return "<Data name=\"" + std::string(name) + "\"><value>" + KmlText(value) + "</value></Data>";
}

JnxBounds LevelBounds(const jnx::JnxDocument& doc, std::size_t level) {
    const std::size_t first = doc.FirstTileOf(level);
    JnxBounds bounds = doc.Tiles[first].TileBounds;
    for (std::size_t i = first; i < first + std::size_t(doc.Levels[level].TileCount); ++i) {
        const auto& tile = doc.Tiles[i].TileBounds;
        bounds = {std::max(bounds[0], tile[0]), std::max(bounds[1], tile[1]), std::min(bounds[2], tile[2]),
                  std::min(bounds[3], tile[3])};
    }
    return bounds;
}

// How many screen pixels the level's area spans when shown at the level's own resolution;
// a viewer shows the level from half that to twice that, so neighbouring levels hand over
// around their own zooms.
double NativePixels(const jnx::JnxDocument& doc, std::size_t level, const JnxBounds& area) {
    const jnx::JnxTile& tile = doc.Tiles[doc.FirstTileOf(level)];
    const int width = tile.TileAux[0] | tile.TileAux[1] << 8, height = tile.TileAux[2] | tile.TileAux[3] << 8;
    const double tileWide = double(tile.TileBounds[1]) - tile.TileBounds[3];
    const double tileHigh = double(tile.TileBounds[0]) - tile.TileBounds[2];
    if (width <= 0 || height <= 0 || tileWide <= 0 || tileHigh <= 0) return 0;
    const double wide = (double(area[1]) - area[3]) / tileWide * width;
    const double high = (double(area[0]) - area[2]) / tileHigh * height;
    return std::sqrt(wide * high);
}

std::string ImageName(std::size_t level, std::size_t n) {
    return "files/L" + std::to_string(level + 1) + "/" + std::to_string(n + 1) + ".jpg";
}

std::string DocumentKml(const jnx::JnxDocument& doc, const std::vector<std::size_t>& levels) {
    const std::string group = jnx::DecodeText(doc.MapInfo.GroupName, true);
    const std::string title = jnx::DecodeText(doc.MapInfo.MapTitle, true);
    std::string kml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
        "<Document>\n<name>" +
        KmlText(title.empty() ? group : title) + "</name>\n<ExtendedData>" + Data(kmz::kGroup, group) +
        Data(kmz::kTitle, title) +
        Data(kmz::kCopyright, levels.front() < doc.LevelInfos.size()
                                  ? jnx::DecodeText(doc.LevelInfos[levels.front()].Copyright, true)
                                  : "") +
        "</ExtendedData>\n";
    for (std::size_t s = 0; s < levels.size(); ++s) {
        const std::size_t k = levels[s];
        const JnxBounds area = LevelBounds(doc, k);
        const double native = NativePixels(doc, k, area);
        const bool coarsest = s == 0, finest = s + 1 == levels.size();
        const int zoom = k < doc.LevelInfos.size() ? doc.LevelInfos[k].Zoom : int(k);
        char lod[96];
        std::snprintf(lod, sizeof lod, "<Lod><minLodPixels>%.0f</minLodPixels><maxLodPixels>%.0f</maxLodPixels></Lod>",
                      coarsest ? 0.0 : native / 2, finest || native <= 0 ? -1.0 : native * 2);
        kml += "<Folder>\n<name>Level " + std::to_string(k + 1) + "</name>\n<Region>" + KmlBox("LatLonAltBox", area) +
               lod + "</Region>\n<ExtendedData>" + Data(kmz::kScale, std::to_string(doc.Levels[k].Scale)) +
               Data(kmz::kZoom, std::to_string(zoom)) + "</ExtendedData>\n";
        const std::size_t first = doc.FirstTileOf(k);
        for (std::size_t n = 0; n < std::size_t(doc.Levels[k].TileCount); ++n) {
            kml += "<GroundOverlay><drawOrder>" + std::to_string(s) + "</drawOrder><Icon><href>" + ImageName(k, n) +
                   "</href></Icon>" + KmlBox("LatLonBox", doc.Tiles[first + n].TileBounds) + "</GroundOverlay>\n";
        }
        kml += "</Folder>\n";
    }
    return kml + "</Document>\n</kml>\n";
}

// The images are read from the map only while the archive is written, one at a time, so
// an export holds no more than one tile whatever the map's size.
struct Shared {
    platform::BinaryFile map;
    Error error;
    bool failed = false;
    bool stopped = false;  // the progress asked to stop: the next tile refuses to open
    std::int64_t done = 0, total = 0;
    const ImportProgress* progress = nullptr;
};

struct TileImage {
    Shared* shared;
    std::int64_t offset;
    std::uint64_t size;  // FF D8 included, and FF D9 when added
    std::uint64_t at = 0;
    zip_error_t zerror;
    bool addEnd = false;  // the map's bytes lack the end marker a viewer may insist on
};

// Whether a stored image of size bytes at offset ends without FF D9.
bool LacksEndOfImage(const platform::BinaryFile& map, std::int64_t offset, std::uint64_t size, bool& lacks,
                     Error& error) {
    std::uint8_t last[2] = {};
    if (size < 2) {
        lacks = true;
        return true;
    }
    if (!map.ReadAt(offset + std::int64_t(size) - 2, last, 2, error)) return false;
    lacks = !EndsImage(last, 2);
    return true;
}

zip_int64_t ServeTile(void* user, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto* tile = static_cast<TileImage*>(user);
    switch (command) {
        case ZIP_SOURCE_OPEN:
            if (tile->shared->stopped) {
                tile->shared->failed = true;
                tile->shared->error = Error(ErrorCode::Cancelled);
                zip_error_set(&tile->zerror, ZIP_ER_CANCELLED, 0);
                return -1;
            }
            tile->at = 0;
            return 0;
        case ZIP_SOURCE_READ: {
            const std::uint64_t n = std::min<std::uint64_t>(length, tile->size - tile->at);
            auto* out = static_cast<std::uint8_t*>(data);
            std::uint64_t filled = 0;
            static constexpr std::uint8_t kStart[2] = {0xFF, 0xD8};
            const std::uint64_t mapEnd = tile->size - (tile->addEnd ? 2 : 0);
            while (filled < n && tile->at < 2) out[filled++] = kStart[tile->at++];
            if (filled < n && tile->at < mapEnd) {
                const std::uint64_t part = std::min(n - filled, mapEnd - tile->at);
                if (!tile->shared->map.ReadAt(tile->offset + std::int64_t(tile->at) - 2, out + filled, part,
                                              tile->shared->error)) {
                    tile->shared->failed = true;
                    zip_error_set(&tile->zerror, ZIP_ER_READ, 0);
                    return -1;
                }
                tile->at += part, filled += part;
            }
            while (filled < n) out[filled++] = kEndOfImage[tile->at++ - mapEnd];
            return zip_int64_t(n);
        }
        case ZIP_SOURCE_CLOSE: {
            Shared& shared = *tile->shared;
            if (++shared.done % 256 == 0 && !GoesOn(*shared.progress, "writing", shared.done, shared.total))
                shared.stopped = true;
            return 0;
        }
        case ZIP_SOURCE_STAT: {
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            st->size = tile->size;
            st->valid |= ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&tile->zerror, data, length);
        case ZIP_SOURCE_FREE:
            zip_error_fini(&tile->zerror);
            delete tile;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            zip_error_set(&tile->zerror, ZIP_ER_OPNOTSUPP, 0);
            return -1;
    }
}

bool WriteMembers(zip_t* archive, ArchiveFile& target, const std::string& shownAs, const std::string& kml,
                  const jnx::JnxDocument& doc, const std::vector<std::size_t>& levels, Shared& shared, Error& error) {
    // The text outlives the archive's sources, which read it only when it is closed.
    zip_source_t* text = zip_source_buffer(archive, kml.data(), kml.size(), 0);
    bool ok = text && AddMember(archive, kmz::kDocument, text, true, shownAs, error);
    for (std::size_t k : levels) {
        const std::size_t first = doc.FirstTileOf(k);
        for (std::size_t n = 0; ok && n < std::size_t(doc.Levels[k].TileCount); ++n) {
            const auto offset = std::int64_t(doc.jpgOffset[first + n]);
            const auto size = std::uint64_t(doc.Tiles[first + n].DataSize);
            bool addEnd = false;
            if (!LacksEndOfImage(shared.map, offset, size, addEnd, error)) {
                ok = false;
                break;
            }
            auto* tile = new TileImage{&shared, offset, 2 + size + (addEnd ? 2 : 0), 0, {}, addEnd};
            zip_error_init(&tile->zerror);
            zip_source_t* source = zip_source_function(archive, ServeTile, tile);
            if (!source) {
                zip_error_fini(&tile->zerror);
                delete tile;
                ok = Fail(error, ArchiveCannotWrite(shownAs, archive));
                break;
            }
            ok = AddMember(archive, ImageName(k, n), source, false, shownAs, error);
        }
    }
    if (!ok) {
        DiscardArchive(archive, target);
        return false;
    }
    return CloseArchive(archive, target, shownAs, shared.failed, shared.error, error);
}

bool WriteArchive(platform::BinaryFile& file, const std::string& shownAs, const std::string& kml,
                  const jnx::JnxDocument& doc, const std::vector<std::size_t>& levels, Shared& shared, Error& error) {
    ArchiveFile target;
    target.file = &file;
    zip_t* archive = CreateArchive(target, shownAs, error);
    return archive && WriteMembers(archive, target, shownAs, kml, doc, levels, shared, error);
}

}  // namespace

bool ExportKmz(const std::string& jnxPath, const std::string& outPath, const std::vector<int>& wanted,
               ExportResult& result, Error& error, const ImportProgress& progress) {
    if (platform::SameFile(jnxPath, outPath)) return Fail(error, Error(ErrorCode::OutputIsSource).File(outPath));
    jnx::JnxDocument doc;
    std::int32_t tiles = 0;
    if (!jnx::ReadJnx(doc, jnxPath, tiles, error, jnx::ReadDepth::Tables)) return false;
    std::vector<std::size_t> levels;
    if (!LevelsToExport(doc, jnxPath, wanted, levels, error)) return false;
    std::int64_t total = 0;
    for (std::size_t k : levels) total += doc.Levels[k].TileCount;

    Shared shared;
    shared.total = total;
    shared.progress = &progress;
    if (!shared.map.Open(jnxPath, platform::BinaryFile::Mode::Read, error)) return false;
    platform::NewFile out(outPath);
    if (!out.Create(error)) return false;
    if (!WriteArchive(out.File(), outPath, DocumentKml(doc, levels), doc, levels, shared, error)) {
        if (error.file == out.TemporaryPath() || error.file.empty()) error.file = outPath;
        return false;
    }
    const auto verify = [&](platform::BinaryFile&, Error& e) {
        return ArchiveReadsBack(out.TemporaryPath(), outPath, total, e);
    };
    if (!GoesOn(progress, "writing", total, total)) return Fail(error, Error(ErrorCode::Cancelled).File(outPath));
    if (!out.Publish(error, verify)) return false;
    result = ExportResult{};
    result.tiles = total;
    for (std::size_t k : levels) result.zooms.push_back(k < doc.LevelInfos.size() ? doc.LevelInfos[k].Zoom : int(k));
    return true;
}

}  // namespace convert
