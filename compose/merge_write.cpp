#include "compose/merge_write.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

#include "jnx/front_part.h"
#include "jnx/reader.h"
#include "jnx/write_values.h"
#include "platform/binary_file.h"
#include "platform/fs.h"
#include "platform/new_file.h"

namespace compose {
namespace {

using jnx::Bytes;

using platform::Error;
using platform::ErrorCode;
using platform::Fail;

constexpr int kMaxPublishAttempts = 1000;

// The plan must describe one consistent file before anything is created.
bool PlanIsWritable(const MergePlan& plan, Error& error) {
    if (plan.ResultVersion != 3 && plan.ResultVersion != 4)
        return Fail(error, Error(ErrorCode::MergeVersion).Value(plan.ResultVersion));
    const auto n = static_cast<std::size_t>(plan.LevelTotal);
    if (plan.LevelTotal <= 0 || plan.Levels.size() != n || plan.LevelInfos.size() != n ||
        plan.Header.LevelCount != plan.LevelTotal || (plan.ResultVersion == 4 && plan.LevelExtras.size() != n))
        return Fail(error, Error(ErrorCode::MergeIncomplete));
    if (plan.TileTotal <= 0) return Fail(error, Error(ErrorCode::MergeNothing));
    const std::int64_t blockSize = jnx::MapBlockLength(plan.MapInfo, plan.LevelInfos);
    if (blockSize >= jnx::kMapBlockSpan) return Fail(error, Error(ErrorCode::MergeBlockOverflow).Value(blockSize));
    // Every level of every source goes into the file exactly once.
    if (plan.LevelSources.size() != n) return Fail(error, Error(ErrorCode::MergeMismatch));
    std::vector<std::vector<bool>> placed;
    std::size_t sourceLevels = 0;
    for (const auto& source : plan.Sources) {
        placed.emplace_back(source.levelTileCounts.size(), false);
        sourceLevels += source.levelTileCounts.size();
    }
    std::int64_t tiles = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const PlannedLevel& from = plan.LevelSources[k];
        if (from.source >= placed.size() || from.level >= placed[from.source].size() || placed[from.source][from.level])
            return Fail(error, Error(ErrorCode::MergeMismatch));
        placed[from.source][from.level] = true;
        const std::int32_t count = plan.Sources[from.source].levelTileCounts[from.level];
        if (plan.Levels[k].TileCount != count || count < 0) return Fail(error, Error(ErrorCode::MergeMismatch));
        tiles += count;
    }
    if (sourceLevels != n || tiles != plan.TileTotal) return Fail(error, Error(ErrorCode::MergeMismatch));
    return true;
}

// The merged file's front part, its tiles still to be placed.
jnx::FrontPart FrontOf(const MergePlan& plan) {
    jnx::FrontPart front;
    front.header = plan.Header;
    front.header.Version = plan.ResultVersion;
    front.levels = plan.Levels;
    for (const auto& extra : plan.LevelExtras) front.levelCopyrights.push_back(extra.Copyright);
    front.mapInfo = plan.MapInfo;
    front.levelInfos = plan.LevelInfos;
    return front;
}

// What the writer meant each tile to be: its size, and the check value (first four bytes
// of its image) for the tiles that begin or end a copied run.
struct WrittenTile {
    std::int32_t size = 0;
    std::int32_t checkValue = 0;
    bool checked = false;
};

// The reader must accept the written front part as the plan describes it.
bool FrontReadsBack(const MergePlan& plan, const jnx::FrontPart& front, const std::string& path, Error& error) {
    jnx::JnxDocument written;
    std::int32_t total = 0;
    Error readError;
    if (!jnx::ReadJnx(written, path, total, readError, jnx::ReadDepth::Quick))
        return Fail(error, Error(ErrorCode::MergeReadBackFailed).Cause(readError));
    bool same = written.Header.Version == plan.ResultVersion && written.Header.LevelCount == plan.LevelTotal &&
                written.Levels.size() == plan.Levels.size() && total == plan.TileTotal &&
                written.Header.Bounds == plan.Header.Bounds && !written.NeedsRegeneration;
    std::int64_t tableOffset = jnx::TablesStart(front);
    for (std::size_t i = 0; same && i < plan.Levels.size(); ++i) {
        same = written.Levels[i].TileCount == plan.Levels[i].TileCount &&
               written.Levels[i].Scale == plan.Levels[i].Scale && written.Levels[i].TableOffset == tableOffset;
        tableOffset += std::int64_t(jnx::kTileEntrySize) * plan.Levels[i].TileCount;
    }
    return same || Fail(error, Error(ErrorCode::MergeReadBack));
}

// Reads the written file back: the tile tables must chain the images back to back up to
// the trailer, and the first bytes of every copied run (its first and last tile) must be
// the source's.
bool VerifyOutput(const MergePlan& plan, const jnx::FrontPart& front, const std::vector<WrittenTile>& tiles,
                  const std::string& path, platform::BinaryFile& file, Error& error) {
    if (!FrontReadsBack(plan, front, path, error)) return false;
    const Error unlike(ErrorCode::MergeReadBack);
    const std::int64_t tablesStart = jnx::TablesStart(front);
    const std::int64_t dataStart = jnx::DataStart(front);
    std::int64_t size = 0;
    std::uint8_t trailer[sizeof jnx::kTrailer];
    if (!file.Size(size, error) || !file.ReadAt(size - std::int64_t(sizeof trailer), trailer, sizeof trailer, error))
        return false;
    if (!std::equal(trailer, trailer + sizeof trailer, jnx::kTrailer) || std::int64_t(tiles.size()) != plan.TileTotal)
        return Fail(error, unlike);

    constexpr std::size_t kEntriesPerRead = 32768;
    jnx::Bytes buffer;
    std::vector<jnx::ExpectedHead> heads;
    std::int64_t expectedOffset = dataStart;
    for (std::size_t first = 0; first < tiles.size(); first += kEntriesPerRead) {
        const std::size_t count = std::min(kEntriesPerRead, tiles.size() - first);
        buffer.resize(count * jnx::kTileEntrySize);
        if (!file.ReadAt(tablesStart + std::int64_t(first) * jnx::kTileEntrySize, buffer.data(), buffer.size(), error))
            return false;
        for (std::size_t j = 0; j < count; ++j) {
            const WrittenTile& meant = tiles[first + j];
            const jnx::JnxTile tile = jnx::LoadTile(buffer.data() + j * jnx::kTileEntrySize);
            if (tile.DataSize != meant.size || tile.DataOffset != expectedOffset) return Fail(error, unlike);
            if (meant.checked) heads.push_back({tile.DataOffset, meant.size, meant.checkValue});
            expectedOffset += tile.DataSize;
        }
    }
    // The images end where the trailer begins, so every head has four bytes behind it.
    if (expectedOffset + std::int64_t(sizeof jnx::kTrailer) != size) return Fail(error, unlike);
    bool match = false;
    if (!jnx::HeadsMatch(file, heads, match, error)) return false;
    return match || Fail(error, unlike);
}

bool SourceStillPlanned(const jnx::JnxDocument& doc, const MergePlanSource& planned, std::int32_t tiles) {
    if (doc.Levels.size() != planned.levelTileCounts.size() || doc.Header.Bounds != planned.bounds) return false;
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < doc.Levels.size(); ++i) {
        if (doc.Levels[i].TileCount != planned.levelTileCounts[i]) return false;
        sum += doc.Levels[i].TileCount;
    }
    const auto count = static_cast<std::size_t>(sum);
    return sum == tiles && doc.Tiles.size() == count && doc.jpgOffset.size() == count &&
           doc.CheckPointsImages.size() == count;
}

// Streams the merged file's images from dataStart onwards, level by level in the plan's
// order, in runs of images that lie back to back in their source, and records where each
// tile went. A source is read in full when its first level comes up, and again only when
// its levels are not next to each other in that order.
class ImageCopy {
public:
    ImageCopy(platform::BinaryFile& out, jnx::FrontPart& front, std::vector<WrittenTile>& meant,
              jnx::BusyObserver* busy, std::int64_t copyChunk, std::int64_t dataStart, std::int64_t length)
        : out_(out),
          front_(front),
          meant_(meant),
          busy_(busy),
          copyChunk_(copyChunk),
          dataStart_(dataStart),
          length_(length),
          position_(dataStart) {}

    bool Level(const MergePlanSource& planned, std::size_t sourceIndex, std::size_t level, jnx::JnxDocument& doc,
               Error& error) {
        if (sourceIndex != loaded_ && !Load(planned, doc, error)) return false;
        loaded_ = sourceIndex;
        const std::size_t first = doc.FirstTileOf(level);
        const std::size_t end = first + std::size_t(doc.Levels[level].TileCount);
        for (std::size_t i = first; i < end; ++i) {
            jnx::JnxTile tile = doc.Tiles[i];
            const std::int64_t from = doc.jpgOffset[i];
            const std::int64_t size = tile.DataSize;
            if (size <= 0 || from < 0 || from + size > sourceSize_)
                return Fail(error, Error(ErrorCode::MergeTileOutside).File(planned.path).Level(std::int64_t(i) + 1));
            // Checked before anything was written, unless a source grew meanwhile.
            const std::int64_t reach = position_ + size + std::int64_t(sizeof jnx::kTrailer);
            if (reach > jnx::kMaxFileLength) return Fail(error, Error(ErrorCode::FileTooLarge).Value(reach));
            if (runLength_ > 0 && runSource_ + runLength_ == from) {
                runLength_ += size;
            } else {
                if (!Flush(error)) return false;
                if (!meant_.empty()) meant_.back().checked = true;  // the last tile of the run before
                runSource_ = from;
                runDest_ = position_;
                runLength_ = size;
            }
            tile.DataOffset = static_cast<std::uint32_t>(position_);
            front_.tiles.push_back(tile);
            meant_.push_back(WrittenTile{tile.DataSize, doc.CheckPointsImages[i].Value, runDest_ == position_});
            position_ += size;
        }
        return true;
    }

    bool Flush(Error& error) {
        if (runLength_ == 0) return true;
        const bool ok = out_.CopyFrom(source_, runSource_, runDest_, runLength_, jnx::CopyChunkFor(busy_, copyChunk_),
                                      error, jnx::ReportCopies(busy_, runDest_ - dataStart_, length_ - dataStart_));
        runLength_ = 0;
        return ok;
    }

    std::int64_t Position() const { return position_; }

private:
    bool Load(const MergePlanSource& planned, jnx::JnxDocument& doc, Error& error) {
        if (!Flush(error)) return false;
        if (jnx::Cancelled(busy_)) return Fail(error, Error(ErrorCode::Cancelled));
        std::int32_t tiles = 0;
        Error readError;
        if (!jnx::ReadJnx(doc, planned.path, tiles, readError, jnx::ReadDepth::Full, busy_))
            return Fail(error, Error(ErrorCode::MergeLoadingFull).File(planned.path).Cause(readError));
        if (!SourceStillPlanned(doc, planned, tiles))
            return Fail(error, Error(ErrorCode::MergeSourceChanged).File(planned.path));
        source_.Close();
        return source_.Open(planned.path, platform::BinaryFile::Mode::Read, error) && source_.Size(sourceSize_, error);
    }

    platform::BinaryFile& out_;
    jnx::FrontPart& front_;
    std::vector<WrittenTile>& meant_;
    jnx::BusyObserver* busy_;
    std::int64_t copyChunk_, dataStart_, length_, position_;
    platform::BinaryFile source_;
    std::int64_t sourceSize_ = 0;
    std::size_t loaded_ = std::size_t(-1);
    std::int64_t runSource_ = 0, runDest_ = 0, runLength_ = 0;
};

// The merged file's length: every source's images back to back after the front part,
// then the trailer. The sources' tables are read for it before anything is written, so
// a merge that would pass what offsets address is refused with nothing on disk.
bool MergedLength(const MergePlan& plan, std::int64_t dataStart, jnx::BusyObserver* busy, std::int64_t& length,
                  Error& error) {
    length = dataStart + std::int64_t(sizeof jnx::kTrailer);
    jnx::JnxDocument doc;
    for (const auto& planned : plan.Sources) {
        std::int32_t tiles = 0;
        Error readError;
        if (!jnx::ReadJnx(doc, planned.path, tiles, readError, jnx::ReadDepth::Tables, busy))
            return Fail(error, Error(ErrorCode::MergeLoadingFull).File(planned.path).Cause(readError));
        for (const auto& tile : doc.Tiles) length += tile.DataSize;
    }
    return true;
}

bool Write(const MergePlan& plan, jnx::JnxDocument& doc, std::string& outputPath, Error& error,
           jnx::BusyObserver* busy, const MergeWriteOptions& options) {
    if (!PlanIsWritable(plan, error)) return false;
    jnx::FrontPart front = FrontOf(plan);
    // The layout's size does not depend on the tiles' offsets: a placeholder per tile
    // gives the data's start before the sources are read.
    front.tiles.resize(std::size_t(plan.TileTotal));
    const std::int64_t dataStart = jnx::DataStart(front);
    std::int64_t length = 0;
    if (!MergedLength(plan, dataStart, busy, length, error)) return false;
    if (length > jnx::kMaxFileLength) return Fail(error, Error(ErrorCode::FileTooLarge).Value(length));
    front.tiles.clear();

    std::vector<std::string> created;
    if (!platform::CreateFolderPath(plan.TargetFolder, error, &created)) return false;
    // Declared before out, so it runs after the temporary is gone; a published file keeps
    // its folder from being removed.
    struct Cleanup {
        const std::vector<std::string>& folders;
        ~Cleanup() { platform::RemoveEmptyFolders(folders); }
    } cleanup{created};
    platform::NewFile out(platform::JoinPath(plan.TargetFolder, "join.jnx"), platform::NewFile::Target::FreeNameOnly);
    if (!out.Create(error)) return false;

    std::vector<WrittenTile> meant;
    meant.reserve(static_cast<std::size_t>(plan.TileTotal));
    front.tiles.reserve(static_cast<std::size_t>(plan.TileTotal));
    ImageCopy copy(out.File(), front, meant, busy, options.copyChunk, dataStart, length);
    for (const PlannedLevel& from : plan.LevelSources) {
        if (!copy.Level(plan.Sources[from.source], from.source, from.level, doc, error)) return false;
    }
    if (!copy.Flush(error)) return false;
    const std::int64_t position = copy.Position();
    if (std::int64_t(front.tiles.size()) != plan.TileTotal) return Fail(error, Error(ErrorCode::MergeCheckpoint));
    if (!meant.empty()) meant.back().checked = true;

    jnx::Bytes bytes;
    if (!jnx::BuildFrontPart(front, bytes, error)) return false;
    if (std::int64_t(bytes.size()) != dataStart) return Fail(error, Error(ErrorCode::MergeCheckpoint));
    if (!out.File().WriteAt(0, bytes.data(), bytes.size(), error) ||
        !out.File().WriteAt(position, jnx::kTrailer, sizeof jnx::kTrailer, error))
        return false;

    std::tm stamp{};
    if (options.stamp) {
        stamp = *options.stamp;
    } else {
        const std::time_t now = std::time(nullptr);
        localtime_r(&now, &stamp);
    }
    const auto verify = [&](platform::BinaryFile& file, Error& e) {
        return VerifyOutput(plan, front, meant, out.TemporaryPath(), file, e);
    };
    const auto nameFor = [&](int attempt) { return MergeFileName(stamp, attempt); };
    if (jnx::Cancelled(busy)) return Fail(error, Error(ErrorCode::Cancelled));
    return out.PublishUnderFreeName(nameFor, kMaxPublishAttempts, outputPath, error, verify);
}

}  // namespace

std::string MergeFileName(const std::tm& when, int attempt) {
    char name[64];
    if (attempt > 1)
        std::snprintf(name, sizeof name, "%04d%02d%02d%02d%02d%02djoin-%d.jnx", when.tm_year + 1900, when.tm_mon + 1,
                      when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec, attempt);
    else
        std::snprintf(name, sizeof name, "%04d%02d%02d%02d%02d%02djoin.jnx", when.tm_year + 1900, when.tm_mon + 1,
                      when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec);
    return name;
}

bool WriteMerge(const MergePlan& plan, jnx::JnxDocument& doc, std::string& outputPath, Error& error,
                jnx::BusyObserver* busy, const MergeWriteOptions& options) {
    return Write(plan, doc, outputPath, error, busy, options);
}

}  // namespace compose
