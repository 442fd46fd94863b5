#include "convert/import_jnx.h"

#include <algorithm>

#include "check/level_resolution.h"
#include "convert/import_join.h"
#include "convert/import_plan.h"
#include "convert/raster_source.h"
#include "jnx/reader.h"
#include "jnx/write_values.h"
#include "platform/buffered_write.h"
#include "platform/fs.h"
#include "platform/le.h"
#include "platform/new_file.h"

namespace convert {

namespace {

using platform::Error;
using platform::ErrorCode;
using platform::Fail;

// Tile bodies are gathered into writes of platform::kWriteChunk, less when many volumes
// are written at once, but not below this: one write per tile would cost more in system
// calls than the copying itself.
constexpr std::size_t kMinWriteChunk = std::size_t(256) << 10;

struct Output {
    Output(const std::string& path, platform::NewFile::Target target, std::size_t chunk)
        : file(path, target), writes(file.File(), 0, chunk) {}
    platform::NewFile file;
    platform::BufferedWrite writes;
};

// Which files each tile goes to: a coarser tile may lie over several volumes.
struct Destinations {
    std::vector<std::uint32_t> start;  // tile i goes to files[start[i]] .. files[start[i + 1] - 1]
    std::vector<std::uint32_t> files;

    explicit Destinations(const ImportPlan& plan) : start(plan.tiles.size() + 1, 0) {
        for (const PlannedFile& file : plan.files)
            for (std::uint32_t i : file.tiles) ++start[i + 1];
        for (std::size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
        files.resize(start.back());
        std::vector<std::uint32_t> filled(start.begin(), start.end() - 1);
        for (std::size_t f = 0; f < plan.files.size(); ++f)
            for (std::uint32_t i : plan.files[f].tiles) files[filled[i]++] = std::uint32_t(f);
    }
};

// The second pass: each tile must be the one planned, byte for byte as far as the plan
// knows it, or the source has changed since it was planned.
bool CopyTiles(TileSource& source, const std::string& sourcePath, const ImportPlan& plan, const PutTile& put,
               const char* pass, Error& error, const ImportProgress& progress) {
    const Error changed = Error(ErrorCode::FileChangedWhileRead).File(sourcePath);
    const auto total = std::int64_t(plan.tiles.size());
    std::size_t next = 0;
    for (std::size_t k = 0; k < plan.zooms.size(); ++k) {
        const std::size_t levelEnd = next + std::size_t(plan.tilesPerZoom[k]);
        const auto visit = [&](const TileKey& key, const std::uint8_t* data, std::size_t size, Error& e) {
            if (next == levelEnd) return Fail(e, changed);
            const PlannedTile& planned = plan.tiles[next];
            if (!(planned.key == key) || std::int64_t(size) != planned.size || size < 6 || data[0] != 0xFF ||
                data[1] != 0xD8 || platform::LoadI32(data + 2) != planned.head)
                return Fail(e, changed);
            if (!put(next, data, size, e)) return false;
            ++next;
            if (next % 256 == 0 && !GoesOn(progress, pass, std::int64_t(next), total))
                return Fail(e, Error(ErrorCode::Cancelled));
            return true;
        };
        if (!source.Copy(plan.zooms[k], visit, error)) return false;
        if (next != levelEnd) return Fail(error, changed);
    }
    return true;
}

// Each tile's image, stored without its FF D8 as every JNX tile is, appended to every file
// it goes to.
PutTile IntoFiles(const Destinations& destinations, std::vector<std::unique_ptr<Output>>& outputs) {
    return [&destinations, &outputs](std::size_t tile, const std::uint8_t* data, std::size_t size, Error& e) {
        for (std::uint32_t d = destinations.start[tile]; d < destinations.start[tile + 1]; ++d) {
            if (!outputs[destinations.files[d]]->writes.Append(data + 2, size - 2, e)) return false;
        }
        return true;
    };
}

// Joined tiles need their neighbours at hand, and a source gives a zoom's tiles in its own
// order, with no way to ask for one: so the copy pass spools every image into a temporary
// file beside the map, and the join reads each group back from it. Memory stays an offset a
// tile, whatever the order; the disk holds the images once more until the map is published,
// and the spool goes whatever becomes of the run. (Importing into a temporary map and
// joining that as fit does would bound it alike, but such a map could not pass 4 GiB, and
// fit groups tiles by their bounds, not on the web grid.)
bool JoinThroughSpool(TileSource& source, const std::string& sourcePath, const std::string& outPath,
                      const ImportPlan& plan, const ImportOptions& options, JoinedMap& joined, const PutTile& put,
                      Error& error, const ImportProgress& progress) {
    Output spool(outPath, platform::NewFile::Target::FreeNameOnly, platform::kWriteChunk);
    if (!spool.file.Create(error)) return false;
    std::vector<std::int64_t> at;
    at.reserve(plan.tiles.size());
    const auto store = [&](std::size_t, const std::uint8_t* data, std::size_t size, Error& e) {
        at.push_back(spool.writes.End());
        return spool.writes.Append(data, size, e);
    };
    return CopyTiles(source, sourcePath, plan, store, "copying", error, progress) && spool.writes.Flush(error) &&
           JoinSpooled(spool.file.File(), at, plan, source, sourcePath, options, joined, put, progress, error);
}

// The joined images' sizes, known only now, placed in each file's front part.
bool PlaceJoined(ImportPlan& plan, const JoinedMap& joined, const VolumeLimits& limits, Error& error) {
    for (PlannedFile& file : plan.files) {
        for (std::size_t j = 0; j < file.tiles.size(); ++j) {
            const jnx::JnxTile& made = joined.groups[file.tiles[j]].entry;
            file.front.tiles[j].TileAux = made.TileAux;
            file.front.tiles[j].DataSize = made.DataSize;
        }
        if (!jnx::PlaceTilesBackToBack(file.front, error)) return false;
        if (const std::int64_t length = jnx::LengthBackToBack(file.front); length > limits.fileLength)
            return Fail(error, Error(ErrorCode::FileTooLarge).Value(length));
    }
    return true;
}

// A file read back as the reader of every other command reads it: the structure sound,
// every tile where the plan put it, and each image starting with the bytes it was given.
bool ReadsBackAsPlanned(const ImportPlan& plan, const PlannedFile& file, const std::string& path, Error& error) {
    jnx::JnxDocument doc;
    std::int32_t total = 0;
    if (!jnx::ReadJnx(doc, path, total, error, jnx::ReadDepth::Full)) return false;
    const jnx::FrontPart& front = file.front;
    bool same = !doc.NeedsRegeneration && doc.Header.Version == front.header.Version &&
                doc.Header.Bounds == front.header.Bounds && doc.Levels.size() == front.levels.size() &&
                doc.Tiles.size() == front.tiles.size() && doc.CheckPointsImages.size() == front.tiles.size();
    for (std::size_t k = 0; same && k < front.levels.size(); ++k)
        same = doc.Levels[k].TileCount == front.levels[k].TileCount && doc.Levels[k].Scale == front.levels[k].Scale;
    for (std::size_t i = 0; same && i < front.tiles.size(); ++i) {
        const jnx::JnxTile& meant = front.tiles[i];
        const jnx::JnxTile& read = doc.Tiles[i];
        const std::uint32_t mask = jnx::CheckMask(meant.DataSize);
        const auto head = std::uint32_t(plan.tiles[file.tiles[i]].head);
        same = read.TileBounds == meant.TileBounds && read.TileAux == meant.TileAux &&
               read.DataSize == meant.DataSize && doc.jpgOffset[i] == meant.DataOffset &&
               (std::uint32_t(doc.CheckPointsImages[i].Value) & mask) == (head & mask);
    }
    return same || Fail(error, Error(ErrorCode::WrittenImagesDiffer));
}

// A volume lacks the coarser zooms that have no tiles over it.
std::vector<int> ZoomsOf(const PlannedFile& file) {
    std::vector<int> zooms;
    for (const auto& info : file.front.levelInfos) zooms.push_back(info.Zoom);
    return zooms;
}

// Every file is checked before any is published, so that a fault found late leaves
// nothing behind; should a rename still fail, the volumes already published go too.
bool PublishAll(const ImportPlan& plan, std::vector<std::unique_ptr<Output>>& outputs,
                const std::vector<std::string>& paths, const std::string& outPath, const ImportOptions& options,
                Error& error, const ImportProgress& progress) {
    for (std::size_t f = 0; f < outputs.size(); ++f) {
        if (!ReadsBackAsPlanned(plan, plan.files[f], outputs[f]->file.TemporaryPath(), error)) {
            error.file = paths[f];
            return false;
        }
    }
    const auto total = std::int64_t(plan.tiles.size());
    if (!GoesOn(progress, "writing", total, total)) return Fail(error, Error(ErrorCode::Cancelled).File(paths.front()));
    if (!plan.volumes) return outputs.front()->file.Publish(error);
    std::vector<platform::NewFile*> parts;
    for (auto& output : outputs) parts.push_back(&output->file);
    return platform::PublishParts(
        parts, [&] { return ExistingVolumes(outPath); }, options.overwrite, error,
        [&] { return !GoesOn(progress, "writing", total, total); });
}

}  // namespace

namespace {

std::string VolumeStem(const std::string& outPath) {
    std::string stem = outPath;
    std::string extension = platform::ExtensionOf(outPath);
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    if (extension == "jnx") stem.resize(stem.size() - 4);
    return stem + "_Part";
}

}  // namespace

std::string VolumePath(const std::string& outPath, std::size_t number) {
    const std::string digits = std::to_string(number);
    return VolumeStem(outPath) + (digits.size() < 2 ? "0" : "") + digits + ".jnx";
}

std::vector<std::string> ExistingVolumes(const std::string& outPath) {
    return platform::NumberedFiles(VolumeStem(outPath), ".jnx", 2);
}

namespace {

// The map laid out, written and published: plan's tiles copied as they are, or joined's
// groups joined. whole is taken when they are copied.
bool WriteMap(TileSource& source, const std::string& sourcePath, const std::string& outPath,
              const ImportOptions& options, ImportPlan& plan, jnx::FrontPart& whole, JoinedMap& joined,
              ImportResult& result, Error& error, const ImportProgress& telling, const ImportProgress& progress) {
    const bool joining = joined.factor > 1;
    ImportPlan& layout = joining ? joined.plan : plan;
    if (!LayOutFiles(joining ? joined.whole : whole, options.limits,
                     source.OnWebGrid() ? TileLayout::WebGrid : TileLayout::Free, layout, error))
        return false;
    // Refused before any tile is copied; the lock at publishing makes it sure.
    if (layout.volumes && !options.overwrite) {
        if (const auto older = ExistingVolumes(outPath); !older.empty())
            return Fail(error, Error(ErrorCode::OutputExists).File(older.front()));
    }

    std::vector<std::string> paths;
    std::vector<std::unique_ptr<Output>> outputs;
    const std::size_t chunk =
        std::clamp(platform::kWriteChunk * 4 / layout.files.size(), kMinWriteChunk, platform::kWriteChunk);
    for (const PlannedFile& file : layout.files) {
        paths.push_back(layout.volumes ? VolumePath(outPath, paths.size() + 1) : outPath);
        // Volume names are the program's: whatever stands there is never followed.
        const auto target = !layout.volumes     ? platform::NewFile::Target::MayReplace
                            : options.overwrite ? platform::NewFile::Target::ChosenNameOverwrite
                                                : platform::NewFile::Target::ChosenName;
        jnx::Bytes front;
        if (!jnx::BuildFrontPart(file.front, front, error)) return false;
        auto& output = *outputs.emplace_back(std::make_unique<Output>(paths.back(), target, chunk));
        if (!output.file.Create(error) || !output.writes.Append(front.data(), front.size(), error)) return false;
    }
    const Destinations destinations(layout);
    const PutTile put = IntoFiles(destinations, outputs);
    if (!(joining ? JoinThroughSpool(source, sourcePath, outPath, plan, options, joined, put, error, telling)
                  : CopyTiles(source, sourcePath, plan, put, "writing", error, telling)))
        return false;
    if (joining && !PlaceJoined(layout, joined, options.limits, error)) return false;
    for (std::size_t f = 0; f < outputs.size(); ++f) {
        Output& output = *outputs[f];
        jnx::Bytes front;
        if (!output.writes.Append(jnx::kTrailer, sizeof jnx::kTrailer, error) || !output.writes.Flush(error) ||
            (joining && (!jnx::BuildFrontPart(layout.files[f].front, front, error) ||
                         !output.file.File().WriteAt(0, front.data(), front.size(), error))))
            return false;
    }
    if (!PublishAll(layout, outputs, paths, outPath, options, error, progress)) return false;

    result = ImportResult{};
    result.zooms = layout.zooms;
    result.factor = joined.factor;
    result.reencoded = joined.reencoded;
    result.tiles = std::int64_t(layout.tiles.size()) - layout.leftOut;
    result.leftOut = layout.leftOut;
    result.volumes = layout.volumes;
    for (std::size_t f = 0; f < layout.files.size(); ++f)
        result.files.push_back(
            {paths[f], ZoomsOf(layout.files[f]), std::int64_t(layout.files[f].tiles.size()), outputs[f]->writes.End()});
    return true;
}

}  // namespace

bool ImportTiles(const std::string& sourcePath, const std::string& outPath, const ImportOptions& options,
                 ImportResult& result, Error& error, const ImportProgress& progress) {
    if (platform::SameFile(sourcePath, outPath)) return Fail(error, Error(ErrorCode::OutputIsSource).File(outPath));
    std::unique_ptr<TileSource> source;
    if (IsRasterFile(sourcePath)) {
        if (!(source = OpenRaster(sourcePath, options, error))) return false;
    } else if (!OpenTileSource(sourcePath, source, error)) {
        return false;
    }
    // A source busy long between two tiles asks again with the last counts told, so that a
    // Cancel holds there too.
    struct Told {
        const char* pass = "reading";
        std::int64_t done = 0, total = 0;
    } told;
    const ImportProgress telling = [&](const char* pass, std::int64_t done, std::int64_t total) {
        told = {pass, done, total};
        return GoesOn(progress, pass, done, total);
    };
    if (progress) source->WatchStop([&] { return !GoesOn(progress, told.pass, told.done, told.total); });
    ImportPlan plan;
    jnx::FrontPart whole;
    JoinedMap joined;
    if (!SurveyImport(*source, sourcePath, options, plan, whole, error, telling) ||
        !PlanJoin(plan, whole, IsRasterFile(sourcePath) ? TileJoin::None : options.join, options.limits, *source,
                  joined, error))
        return false;
    if (WriteMap(*source, sourcePath, outPath, options, plan, whole, joined, result, error, telling, progress))
        return true;
    // Auto never refuses what a copy makes: tiles that cannot be joined without loss are
    // copied as they are, cut into volumes, and the refusal is told.
    if (options.join != TileJoin::Auto || joined.factor == 1 || !JoinRefused(error)) return false;
    const Error notJoined = error;
    JoinedMap none;
    if (!WriteMap(*source, sourcePath, outPath, options, plan, whole, none, result, error, telling, progress))
        return false;
    result.notJoined = notJoined;
    return true;
}

std::optional<TileJoin> JoinForTileSize(int size) {
    switch (size) {
        case 0:
            return TileJoin::Auto;
        case 256:
            return TileJoin::None;
        case 512:
            return TileJoin::TwoByTwo;
        case 1024:
            return TileJoin::FourByFour;
        default:
            return std::nullopt;
    }
}

bool PreviewImport(const std::string& sourcePath, const ImportOptions& options, ImportPreview& preview, Error& error,
                   const ImportProgress& progress) {
    std::unique_ptr<TileSource> source;
    if (!OpenTileSource(sourcePath, source, error)) return false;
    ImportPlan plan;
    jnx::FrontPart whole;
    JoinedMap joined;
    if (!SurveyImport(*source, sourcePath, options, plan, whole, error, progress) ||
        !PlanJoin(plan, whole, options.join, options.limits, *source, joined, error))
        return false;
    const bool joining = joined.factor > 1;
    ImportPlan& layout = joining ? joined.plan : plan;
    const auto& aux = whole.tiles.front().TileAux;
    preview = ImportPreview{};
    preview.factor = joined.factor;
    preview.tileWidth = (aux[0] | aux[1] << 8) * joined.factor;
    preview.tileHeight = (aux[2] | aux[3] << 8) * joined.factor;
    for (const jnx::JnxLevelInfo& info : whole.levelInfos) preview.zooms.push_back(info.Zoom);
    for (const jnx::JnxLevel& level : whole.levels) preview.scales.push_back(level.Scale);
    jnx::JnxDocument measured;
    measured.Levels = whole.levels;
    measured.Tiles = whole.tiles;
    for (const check::LevelResolution& level : check::MeasureLevels(measured))
        preview.metresPerPixel.push_back(level.metresPerPixel);
    preview.sourceTiles.assign(plan.tilesPerZoom.begin(), plan.tilesPerZoom.end());
    preview.tiles.assign(layout.tilesPerZoom.begin(), layout.tilesPerZoom.end());
    if (!LayOutFiles(joining ? joined.whole : whole, options.limits,
                     source->OnWebGrid() ? TileLayout::WebGrid : TileLayout::Free, layout, error))
        return false;
    preview.files = layout.files.size();
    return true;
}

}  // namespace convert
