#include "convert/export_kmz.h"

#include <zip.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "convert/export_levels.h"
#include "convert/kml_reader.h"
#include "convert/kmz_names.h"
#include "convert/tile_image.h"
#include "convert/web_tiles.h"
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

// A map's texts may hold what XML 1.0 cannot: control bytes, and the non-characters
// U+FFFE and U+FFFF. They are left out; tab and line breaks are written as references,
// so that they come back as they were.
std::string Escaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\xEF' && text.compare(i, 2, "\xEF\xBF") == 0 && i + 2 < text.size() &&
            (text[i + 2] == '\xBE' || text[i + 2] == '\xBF')) {
            i += 2;
            continue;
        }
        switch (c) {
            case '\t': out += "&#9;"; break;
            case '\n': out += "&#10;"; break;
            case '\r': out += "&#13;"; break;
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default:
                if (static_cast<unsigned char>(c) >= 0x20) out += c;
        }
    }
    return out;
}

// Enough digits that the import rounds back to the very JNX unit.
std::string Deg(std::int32_t units) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10f", Degrees(units));
    return text;
}

std::string Data(const char* name, const std::string& value) {
    return "<Data name=\"" + std::string(name) + "\"><value>" + Escaped(value) + "</value></Data>";
}

std::string Box(const char* element, const JnxBounds& b) {
    return "<" + std::string(element) + "><north>" + Deg(b[0]) + "</north><south>" + Deg(b[2]) + "</south><east>" +
           Deg(b[1]) + "</east><west>" + Deg(b[3]) + "</west></" + element + ">";
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
    std::string kml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
                      "<Document>\n<name>" + Escaped(title.empty() ? group : title) + "</name>\n<ExtendedData>" +
                      Data(kmz::kGroup, group) + Data(kmz::kTitle, title) +
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
        kml += "<Folder>\n<name>Level " + std::to_string(k + 1) + "</name>\n<Region>" + Box("LatLonAltBox", area) + lod +
               "</Region>\n<ExtendedData>" + Data(kmz::kScale, std::to_string(doc.Levels[k].Scale)) +
               Data(kmz::kZoom, std::to_string(zoom)) + "</ExtendedData>\n";
        const std::size_t first = doc.FirstTileOf(k);
        for (std::size_t n = 0; n < std::size_t(doc.Levels[k].TileCount); ++n) {
            kml += "<GroundOverlay><drawOrder>" + std::to_string(s) + "</drawOrder><Icon><href>" + ImageName(k, n) +
                   "</href></Icon>" + Box("LatLonBox", doc.Tiles[first + n].TileBounds) + "</GroundOverlay>\n";
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

// The archive's own file is the publish step's temporary, written through its descriptor:
// the zip library makes no file of its own beside it, which a killed export would leave
// behind under a name no clean-up knows, too long for a long target's folder.
struct ArchiveFile {
    platform::BinaryFile* file;
    Shared* shared;
    std::int64_t size = 0;  // what the file holds
    std::int64_t readAt = 0, writeAt = 0;
    zip_error_t zerror;
};

zip_int64_t ServeArchive(void* user, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto* archive = static_cast<ArchiveFile*>(user);
    const auto failed = [&](int code) {
        zip_error_set(&archive->zerror, code, 0);
        return zip_int64_t(-1);
    };
    switch (command) {
        case ZIP_SOURCE_OPEN:
            archive->readAt = 0;
            return 0;
        case ZIP_SOURCE_READ: {
            const auto n = std::size_t(std::min<std::int64_t>(std::int64_t(length), archive->size - archive->readAt));
            if (n > 0 && !archive->file->ReadAt(archive->readAt, data, n, archive->shared->error)) {
                archive->shared->failed = true;
                return failed(ZIP_ER_READ);
            }
            archive->readAt += std::int64_t(n);
            return zip_int64_t(n);
        }
        case ZIP_SOURCE_CLOSE:
        case ZIP_SOURCE_COMMIT_WRITE:
        case ZIP_SOURCE_ROLLBACK_WRITE:  // the publish step drops the temporary
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            st->size = zip_uint64_t(archive->size);
            st->valid |= ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_SEEK:
        case ZIP_SOURCE_SEEK_WRITE: {
            std::int64_t& at = command == ZIP_SOURCE_SEEK ? archive->readAt : archive->writeAt;
            const zip_int64_t to = zip_source_seek_compute_offset(zip_uint64_t(at), zip_uint64_t(archive->size), data,
                                                                  length, &archive->zerror);
            if (to < 0) return -1;
            at = to;
            return 0;
        }
        case ZIP_SOURCE_TELL: return archive->readAt;
        case ZIP_SOURCE_TELL_WRITE: return archive->writeAt;
        case ZIP_SOURCE_BEGIN_WRITE:
        case ZIP_SOURCE_REMOVE:
            archive->writeAt = archive->size = 0;
            return 0;
        case ZIP_SOURCE_WRITE:
            if (!archive->file->WriteAt(archive->writeAt, data, std::size_t(length), archive->shared->error)) {
                archive->shared->failed = true;
                return failed(ZIP_ER_WRITE);
            }
            archive->writeAt += std::int64_t(length);
            archive->size = std::max(archive->size, archive->writeAt);
            return zip_int64_t(length);
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&archive->zerror, data, length);
        case ZIP_SOURCE_FREE:
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_WRITABLE;
        default:
            return failed(ZIP_ER_OPNOTSUPP);
    }
}

Error CannotWrite(const std::string& path, zip_t* archive) {
    return Error(ErrorCode::ConvertCannotWrite).File(path).Detail(zip_strerror(archive));
}

// Adds a member stored as it is: JPEG does not shrink, and deflating it would only cost time.
bool AddStored(zip_t* archive, const std::string& name, zip_source_t* source, bool compress, const std::string& path,
               Error& error) {
    const zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source);
        return Fail(error, CannotWrite(path, archive));
    }
    if (!compress && zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_STORE, 0) != 0)
        return Fail(error, CannotWrite(path, archive));
    return true;
}

bool WriteMembers(zip_t* archive, const std::string& shownAs, const std::string& kml, const jnx::JnxDocument& doc,
                  const std::vector<std::size_t>& levels, Shared& shared, Error& error) {
    // The text outlives the archive's sources, which read it only when it is closed.
    zip_source_t* text = zip_source_buffer(archive, kml.data(), kml.size(), 0);
    bool ok = text && AddStored(archive, kmz::kDocument, text, true, shownAs, error);
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
                ok = Fail(error, CannotWrite(shownAs, archive));
                break;
            }
            ok = AddStored(archive, ImageName(k, n), source, false, shownAs, error);
        }
    }
    if (!ok) {
        zip_discard(archive);
        return false;
    }
    if (zip_close(archive) != 0) {
        if (!shared.failed) error = CannotWrite(shownAs, archive);
        else error = shared.error;
        zip_discard(archive);
        return false;
    }
    return true;
}

bool WriteArchive(platform::BinaryFile& file, const std::string& shownAs, const std::string& kml,
                  const jnx::JnxDocument& doc, const std::vector<std::size_t>& levels, Shared& shared, Error& error) {
    ArchiveFile target{&file, &shared, 0, 0, 0, {}};
    zip_error_init(&target.zerror);
    zip_error_t zerror;
    zip_error_init(&zerror);
    zip_source_t* into = zip_source_function_create(ServeArchive, &target, &zerror);
    zip_t* archive = into ? zip_open_from_source(into, ZIP_CREATE | ZIP_TRUNCATE, &zerror) : nullptr;
    if (!archive) {
        if (into) zip_source_free(into);
        Error failure = Error(ErrorCode::ConvertCannotWrite).File(shownAs).Detail(zip_error_strerror(&zerror));
        zip_error_fini(&zerror);
        zip_error_fini(&target.zerror);
        return Fail(error, failure);
    }
    zip_error_fini(&zerror);
    const bool ok = WriteMembers(archive, shownAs, kml, doc, levels, shared, error);
    zip_error_fini(&target.zerror);
    return ok;
}

// The archive as an import would read it: sound, every member there, and its KML
// well-formed, with an overlay for every tile.
bool ReadsBack(const std::string& path, const std::string& shownAs, std::int64_t tiles, Error& error) {
    const Error differs = Error(ErrorCode::ConvertCannotWrite).File(shownAs).Detail("it does not read back as written");
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!archive) return Fail(error, differs);
    zip_file_t* file = zip_get_num_entries(archive, 0) == tiles + 1 ? zip_fopen(archive, kmz::kDocument, 0) : nullptr;
    KmlDocument kml;
    Error why;
    const ReadKmlChunk read = [&](char* buffer, std::size_t n, std::size_t& got, Error& e) {
        const zip_int64_t count = zip_fread(file, buffer, n);
        got = std::size_t(std::max<zip_int64_t>(count, 0));
        return count >= 0 || Fail(e, differs);
    };
    bool ok = file && ReadKml(shownAs, read, kml, why);
    if (file) zip_fclose(file);
    zip_discard(archive);
    std::int64_t overlays = 0;
    for (const KmlFolder& folder : kml.folders) overlays += std::int64_t(folder.overlays.size());
    ok = ok && overlays == tiles;
    return ok || Fail(error, why ? Error(differs).Detail("it does not read back as written: " + why.detail) : differs);
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
    const auto verify = [&](platform::BinaryFile&, Error& e) { return ReadsBack(out.TemporaryPath(), outPath, total, e); };
    if (!GoesOn(progress, "writing", total, total)) return Fail(error, Error(ErrorCode::Cancelled).File(outPath));
    if (!out.Publish(error, verify)) return false;
    result = ExportResult{};
    result.tiles = total;
    for (std::size_t k : levels) result.zooms.push_back(k < doc.LevelInfos.size() ? doc.LevelInfos[k].Zoom : int(k));
    return true;
}

}  // namespace convert
