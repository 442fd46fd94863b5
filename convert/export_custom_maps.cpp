#include "convert/export_custom_maps.h"

#include <zip.h>

#include <algorithm>
#include <memory>

#include "check/jpeg_header.h"
#include "convert/export_levels.h"
#include "convert/jpeg_join.h"
#include "convert/kmz_names.h"
#include "convert/kmz_writer.h"
#include "convert/tile_groups.h"
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

int Side(const jnx::JnxTile& tile, std::size_t at) { return tile.TileAux[at] | tile.TileAux[at + 1] << 8; }

// Joined groups where the level's tiles share their size and lie on one grid; else each
// tile alone, which the device draws all the same.
std::vector<TileGroup> ImagesOf(const jnx::JnxDocument& doc, std::size_t level, int& joined) {
    const std::size_t first = doc.FirstTileOf(level);
    const auto count = std::size_t(doc.Levels[level].TileCount);
    std::vector<TileGroup> groups;
    joined = 0;
    int wide = 0, high = 0;
    for (std::size_t i = first; i < first + count; ++i)
        wide = std::max(wide, Side(doc.Tiles[i], 0)), high = std::max(high, Side(doc.Tiles[i], 2));
    if (wide > kCustomMapsSide || high > kCustomMapsSide) return groups;
    // A side of 1024 also keeps an image within the megapixel the units draw at full size.
    const int n = wide > 0 && high > 0 ? std::min(kCustomMapsSide / wide, kCustomMapsSide / high) : 1;
    Error why;
    if (n > 1 && GroupTiles(doc, level, n, groups, why)) {
        joined = n;
        return groups;
    }
    groups.clear();
    for (std::size_t i = first; i < first + count; ++i) {
        TileGroup& group = groups.emplace_back();
        group.pieces = {std::int64_t(i)};
        group.entry = doc.Tiles[i];
    }
    joined = 1;
    return groups;
}

Error TileTooLarge(const std::string& path, const jnx::JnxDocument& doc, std::size_t level) {
    int side = 0;
    const std::size_t first = doc.FirstTileOf(level);
    for (std::size_t i = first; i < first + std::size_t(doc.Levels[level].TileCount); ++i)
        side = std::max({side, Side(doc.Tiles[i], 0), Side(doc.Tiles[i], 2)});
    return Error(ErrorCode::CustomMapsTileTooLarge).File(path).Level(std::int64_t(level) + 1).Value(side);
}

// The images are made only while the archive is written, one at a time, so an export
// holds one image whatever the map's size.
struct Shared {
    const jnx::JnxDocument* doc = nullptr;
    std::string path;  // the map, which errors about its tiles name
    std::size_t level = 0;
    FillColour fill;
    platform::BinaryFile map;
    Error error;
    bool failed = false;
    bool stopped = false;  // the progress asked to stop: the next image refuses to be made
    std::int64_t done = 0, total = 0;
    const ImportProgress* progress = nullptr;
};

struct Image {
    Shared* shared;
    const TileGroup* group;
    std::int64_t number;  // 1-based among the level's images
    std::vector<std::uint8_t> bytes{};
    bool made = false;
    std::size_t at = 0;
    // Written: the library asks its size once more, which must not make it again.
    bool served = false;
    std::size_t size = 0;
    zip_error_t zerror{};
};

bool Make(Image& image) {
    if (image.made) return true;
    Shared& shared = *image.shared;
    const auto failed = [&](Error why) {
        shared.error = std::move(why);
        shared.failed = true;
        return false;
    };
    if (shared.stopped) return failed(Error(ErrorCode::Cancelled));
    const TileGroup& group = *image.group;
    const std::size_t first = shared.doc->FirstTileOf(shared.level);
    std::vector<jnx::Bytes> parts(group.pieces.size());
    std::vector<JpegPiece> pieces(group.pieces.size());
    Error error;
    for (std::size_t k = 0; k < group.pieces.size(); ++k) {
        if (group.pieces[k] == kNoTile) continue;
        const auto index = std::size_t(group.pieces[k]);
        parts[k].resize(std::size_t(std::max(shared.doc->Tiles[index].DataSize, 0)));
        if (!shared.map.ReadAt(shared.doc->jpgOffset[index], parts[k].data(), parts[k].size(), error))
            return failed(error);
        pieces[k] = {parts[k].data(), parts[k].size(), std::int64_t(index - first) + 1};
    }
    // One tile goes through the joiner too: it comes out baseline, with its end marker.
    if (!JoinJpegTiles(pieces, group.cols, group.rows, shared.fill, image.bytes, error))
        return failed(error.Level(std::int64_t(shared.level) + 1));
    const auto level = std::int64_t(shared.level) + 1;
    const check::JpegFrame frame =
        check::WalkToFrame(image.bytes.data() + 2, image.bytes.size() - std::min<std::size_t>(2, image.bytes.size()));
    if (frame.width > kCustomMapsSide || frame.height > kCustomMapsSide)
        return failed(Error(ErrorCode::CustomMapsTileTooLarge)
                          .File(shared.path)
                          .Level(level)
                          .Value(std::max(frame.width, frame.height)));
    if (std::int64_t(image.bytes.size()) >= kCustomMapsImageBytes)
        return failed(Error(ErrorCode::CustomMapsImageTooLarge)
                          .File(shared.path)
                          .Level(level)
                          .Value(std::int64_t(image.bytes.size()))
                          .Other(std::to_string(image.number)));
    image.made = true;
    return true;
}

zip_int64_t ServeImage(void* user, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto* image = static_cast<Image*>(user);
    switch (command) {
        case ZIP_SOURCE_OPEN:
            if (!Make(*image)) {
                zip_error_set(&image->zerror, ZIP_ER_READ, 0);
                return -1;
            }
            image->at = 0;
            return 0;
        case ZIP_SOURCE_READ: {
            const std::size_t n = std::min<std::size_t>(length, image->bytes.size() - image->at);
            std::copy_n(image->bytes.data() + image->at, n, static_cast<std::uint8_t*>(data));
            image->at += n;
            return zip_int64_t(n);
        }
        case ZIP_SOURCE_CLOSE: {
            image->size = image->bytes.size();
            image->served = true;
            image->bytes = {};
            image->made = false;
            Shared& shared = *image->shared;
            if (!GoesOn(*shared.progress, "writing", ++shared.done, shared.total)) shared.stopped = true;
            return 0;
        }
        case ZIP_SOURCE_STAT: {
            if (!image->served && !Make(*image)) {
                zip_error_set(&image->zerror, ZIP_ER_READ, 0);
                return -1;
            }
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            st->size = image->served ? image->size : image->bytes.size();
            st->valid |= ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&image->zerror, data, length);
        case ZIP_SOURCE_FREE:
            zip_error_fini(&image->zerror);
            delete image;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            zip_error_set(&image->zerror, ZIP_ER_OPNOTSUPP, 0);
            return -1;
    }
}

std::string ImageName(std::int64_t number) { return "files/" + std::to_string(number) + ".jpg"; }

// images: those of one file, numbered from `number`.
std::string DocumentKml(const std::string& name, const std::vector<TileGroup>& images, std::size_t from, std::size_t to,
                        int drawOrder) {
    std::string kml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
        "<Document>\n<name>" +
        KmlText(name) + "</name>\n<Folder>\n<name>" + KmlText(name) + "</name>\n";
    for (std::size_t i = from; i < to; ++i) {
        kml += "<GroundOverlay><name>" + std::to_string(i + 1) + "</name><drawOrder>" + std::to_string(drawOrder) +
               "</drawOrder><Icon><href>" + ImageName(std::int64_t(i) + 1) + "</href></Icon>" +
               KmlBox("LatLonBox", images[i].entry.TileBounds) + "</GroundOverlay>\n";
    }
    return kml + "</Folder>\n</Document>\n</kml>\n";
}

bool WriteFile(platform::BinaryFile& file, const std::string& shownAs, const std::string& kml,
               const std::vector<TileGroup>& images, std::size_t from, std::size_t to, Shared& shared, Error& error) {
    ArchiveFile target;
    target.file = &file;
    zip_t* archive = CreateArchive(target, shownAs, error);
    if (!archive) return false;
    zip_source_t* text = zip_source_buffer(archive, kml.data(), kml.size(), 0);
    bool ok = text && AddMember(archive, kmz::kDocument, text, true, shownAs, error);
    for (std::size_t i = from; ok && i < to; ++i) {
        auto* image = new Image{&shared, &images[i], std::int64_t(i) + 1};
        zip_error_init(&image->zerror);
        zip_source_t* source = zip_source_function(archive, ServeImage, image);
        if (!source) {
            zip_error_fini(&image->zerror);
            delete image;
            ok = Fail(error, ArchiveCannotWrite(shownAs, archive));
            break;
        }
        ok = AddMember(archive, ImageName(std::int64_t(i) + 1), source, false, shownAs, error);
    }
    if (!ok) {
        DiscardArchive(archive, target);
        return false;
    }
    return CloseArchive(archive, target, shownAs, shared.failed, shared.error, error);
}

// The level the export writes and its images: the one asked for, else the finest whose
// images fit one file.
bool ChooseLevel(const jnx::JnxDocument& doc, const std::string& path, const CustomMapsOptions& options,
                 std::size_t& chosen, std::vector<TileGroup>& images, int& joined, Error& error) {
    std::vector<std::size_t> levels;
    if (!LevelsToExport(doc, path, options.level > 0 ? std::vector<int>{options.level} : std::vector<int>{}, levels,
                        error))
        return false;
    // Finest first: the smaller a level's scale, the closer the device shows it.
    std::stable_sort(levels.begin(), levels.end(),
                     [&](std::size_t a, std::size_t b) { return doc.Levels[a].Scale < doc.Levels[b].Scale; });
    for (std::size_t k : levels) {
        chosen = k;
        images = ImagesOf(doc, k, joined);
        if (options.level > 0 || (joined > 0 && std::int64_t(images.size()) <= options.maxImages)) break;
    }
    if (joined == 0) return Fail(error, TileTooLarge(path, doc, chosen));
    if (options.level == 0 && std::int64_t(images.size()) > options.maxImages)
        return Fail(error, Error(ErrorCode::CustomMapsOverBudget)
                               .File(path)
                               .Level(std::int64_t(chosen) + 1)
                               .Value(std::int64_t(images.size()))
                               .Other(std::to_string(options.maxImages)));
    return true;
}

}  // namespace

std::vector<CustomMapsLevel> CustomMapsLevels(const jnx::JnxDocument& doc) {
    std::vector<CustomMapsLevel> levels;
    for (std::size_t k = 0; k < doc.Levels.size(); ++k) {
        CustomMapsLevel& level = levels.emplace_back();
        if (doc.Levels[k].TileCount > 0) level.images = std::int64_t(ImagesOf(doc, k, level.joined).size());
        if (level.joined == 0) level.images = 0;
    }
    return levels;
}

namespace {

std::string PartStem(const std::string& outPath) {
    const std::string extension = platform::ExtensionOf(outPath);
    return outPath.substr(0, outPath.size() - (extension.empty() ? 0 : extension.size() + 1)) + "_";
}

}  // namespace

std::string CustomMapsPartPath(const std::string& outPath, std::size_t number) {
    return PartStem(outPath) + std::to_string(number) + ".kmz";
}

std::vector<std::string> ExistingCustomMapsParts(const std::string& outPath) {
    return platform::NumberedFiles(PartStem(outPath), ".kmz", 1);
}

bool ExportCustomMaps(const std::string& jnxPath, const std::string& outPath, const CustomMapsOptions& options,
                      CustomMapsResult& result, Error& error, const ImportProgress& progress) {
    if (platform::SameFile(jnxPath, outPath)) return Fail(error, Error(ErrorCode::OutputIsSource).File(outPath));
    jnx::JnxDocument doc;
    std::int32_t tiles = 0;
    if (!jnx::ReadJnx(doc, jnxPath, tiles, error, jnx::ReadDepth::Tables)) return false;
    CustomMapsOptions asked = options;
    asked.maxImages = std::max(options.maxImages, 1);
    std::size_t level = 0;
    std::vector<TileGroup> images;
    int joined = 0;
    if (!ChooseLevel(doc, jnxPath, asked, level, images, joined, error)) return false;

    const std::size_t perFile = std::size_t(asked.maxImages);
    const std::size_t count = (images.size() + perFile - 1) / perFile;
    std::vector<std::string> paths;
    for (std::size_t f = 0; f < count; ++f) paths.push_back(count == 1 ? outPath : CustomMapsPartPath(outPath, f + 1));
    // Refused before any image is made; the lock at publishing makes it sure.
    if (count > 1 && !asked.overwrite) {
        if (const auto older = ExistingCustomMapsParts(outPath); !older.empty())
            return Fail(error, Error(ErrorCode::OutputExists).File(older.front()));
    }
    for (const std::string& path : paths)
        if (platform::SameFile(jnxPath, path)) return Fail(error, Error(ErrorCode::OutputIsSource).File(path));

    Shared shared;
    shared.doc = &doc;
    shared.path = jnxPath;
    shared.level = level;
    shared.fill = asked.fill;
    shared.total = std::int64_t(images.size());
    shared.progress = &progress;
    if (!shared.map.Open(jnxPath, platform::BinaryFile::Mode::Read, error)) return false;
    std::string title = jnx::DecodeText(doc.MapInfo.MapTitle, true);
    if (title.empty()) title = jnx::DecodeText(doc.MapInfo.GroupName, true);
    if (title.empty()) title = platform::BaseNameOf(outPath);
    std::vector<std::unique_ptr<platform::NewFile>> files;
    for (std::size_t f = 0; f < count; ++f) {
        const auto target = count == 1        ? platform::NewFile::Target::MayReplace
                            : asked.overwrite ? platform::NewFile::Target::ChosenNameOverwrite
                                              : platform::NewFile::Target::ChosenName;
        platform::NewFile& file = *files.emplace_back(std::make_unique<platform::NewFile>(paths[f], target));
        const std::size_t from = f * perFile, to = std::min(images.size(), from + perFile);
        const std::string name =
            count == 1 ? title : title + " (" + std::to_string(f + 1) + "/" + std::to_string(count) + ")";
        if (!file.Create(error) ||
            !WriteFile(file.File(), paths[f], DocumentKml(name, images, from, to, asked.drawOrder), images, from, to,
                       shared, error)) {
            if (error.file == file.TemporaryPath() || error.file.empty()) error.file = paths[f];
            return false;
        }
    }
    if (!GoesOn(progress, "writing", shared.total, shared.total))
        return Fail(error, Error(ErrorCode::Cancelled).File(outPath));
    std::vector<platform::NewFile*> parts;
    for (std::size_t f = 0; f < count; ++f) {
        const std::int64_t held = std::int64_t(std::min(images.size(), (f + 1) * perFile) - f * perFile);
        if (!ArchiveReadsBack(files[f]->TemporaryPath(), paths[f], held, error)) return false;
        parts.push_back(files[f].get());
    }
    const auto older = [&] { return ExistingCustomMapsParts(outPath); };
    const auto stop = [&] { return !GoesOn(progress, "writing", shared.total, shared.total); };
    if (count == 1 ? !files.front()->Publish(error)
                   : !platform::PublishParts(parts, older, asked.overwrite, error, stop))
        return false;
    result = CustomMapsResult{};
    result.level = int(level) + 1;
    result.joined = joined;
    result.images = std::int64_t(images.size());
    for (std::size_t f = 0; f < count; ++f)
        result.files.push_back({paths[f], std::int64_t(std::min(images.size(), (f + 1) * perFile) - f * perFile)});
    return true;
}

}  // namespace convert
