#include "compose/merge_write.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <limits>
#include <vector>

#include "jnx/reader.h"
#include "jnx/write_values.h"
#include "platform/binary_file.h"
#include "platform/fs.h"
#include "platform/le.h"

namespace compose {
namespace {

using jnx::Bytes;

constexpr std::uint8_t kTrailer[] = {'B', 'i', 'r', 'd', 's', 'E', 'y', 'e'};
constexpr std::int64_t kMaxOffset = std::numeric_limits<std::int32_t>::max();
constexpr int kMaxPublishAttempts = 1000;

// Removes the temporary file unless it was published.
class TempFile {
public:
    explicit TempFile(std::string path) : path_(std::move(path)) {}
    ~TempFile() {
        file.Close();
        if (!published_) platform::DeleteFile(path_);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return path_; }
    void Published() { published_ = true; }

    platform::BinaryFile file;

private:
    std::string path_;
    bool published_ = false;
};

bool Fail(MergeFailure& failure, MergeFailureKind kind, std::string path, std::string detail) {
    failure.kind = kind;
    failure.path = std::move(path);
    failure.detail = std::move(detail);
    return false;
}

bool Other(MergeFailure& failure, std::string detail) {
    return Fail(failure, MergeFailureKind::Other, {}, std::move(detail));
}

void PutI32(Bytes& out, std::int32_t value) {
    std::uint8_t b[4];
    platform::StoreI32(b, value);
    out.insert(out.end(), b, b + 4);
}

void PutZ(Bytes& out, const Bytes& zstring) {
    if (zstring.empty())
        out.push_back(0);
    else
        out.insert(out.end(), zstring.begin(), zstring.end());
}

// The plan must describe one consistent file before anything is created.
bool PlanIsWritable(const MergePlan& plan, MergeFailure& failure) {
    if (plan.ResultVersion != 3 && plan.ResultVersion != 4)
        return Other(failure, "Version " + std::to_string(plan.ResultVersion) + " cannot be written.");
    const auto n = static_cast<std::size_t>(plan.LevelTotal);
    if (plan.LevelTotal <= 0 || plan.Levels.size() != n || plan.LevelInfos.size() != n ||
        plan.Header.LevelCount != plan.LevelTotal || (plan.ResultVersion == 4 && plan.LevelExtras.size() != n))
        return Other(failure, "The merge plan is incomplete.");
    if (plan.TileTotal <= 0) return Other(failure, "The files chosen hold no tiles to merge.");
    const std::int64_t blockSize = MergeMapBlockSize(plan);
    if (blockSize >= jnx::kMapBlockSpan)
        return Other(failure, "The map description block of the merged file would take " +
                                  std::to_string(blockSize) + " bytes; at most 1023 fit.");
    std::size_t k = 0;
    std::int64_t tiles = 0;
    for (const auto& source : plan.Sources) {
        for (auto count : source.levelTileCounts) {
            if (k >= n || plan.Levels[k].TileCount != count || count < 0)
                return Other(failure, "The merge plan does not match its sources.");
            tiles += count;
            ++k;
        }
    }
    if (k != n || tiles != plan.TileTotal) return Other(failure, "The merge plan does not match its sources.");
    return true;
}

Bytes FrontPart(const MergePlan& plan, std::int64_t tableStart) {
    Bytes out;
    out.reserve(static_cast<std::size_t>(tableStart));
    std::uint8_t header[jnx::kHeaderSize];
    jnx::StoreHeader(plan.Header, header);
    out.insert(out.end(), header, header + jnx::kHeaderSize);
    if (plan.ResultVersion == 4) PutI32(out, plan.Header.DrawOrder);

    std::int64_t tableOffset = tableStart;
    for (std::size_t i = 0; i < plan.Levels.size(); ++i) {
        jnx::JnxLevel level = plan.Levels[i];
        level.TableOffset = static_cast<std::int32_t>(tableOffset);
        tableOffset += std::int64_t(jnx::kTileEntrySize) * level.TileCount;
        std::uint8_t entry[jnx::kLevelEntrySize];
        jnx::StoreLevel(level, entry);
        out.insert(out.end(), entry, entry + jnx::kLevelEntrySize);
        if (plan.ResultVersion == 4) {
            PutI32(out, plan.LevelExtras[i].Extra);
            PutZ(out, plan.LevelExtras[i].Copyright);
        }
    }

    const std::size_t blockStart = out.size();
    PutI32(out, plan.MapInfo.BlockVersion);
    PutZ(out, plan.MapInfo.MapGuid);
    PutZ(out, plan.MapInfo.GroupName);
    out.insert(out.end(), plan.MapInfo.ReservedBytes.begin(), plan.MapInfo.ReservedBytes.end());
    PutZ(out, plan.MapInfo.MapTitle);
    PutI32(out, plan.LevelTotal);
    for (const auto& info : plan.LevelInfos) {
        PutZ(out, info.Name);
        PutZ(out, info.Description);
        PutZ(out, info.Copyright);
        PutI32(out, info.Zoom);
    }
    const std::size_t blockEnd = blockStart + jnx::kMapBlockSpan;
    if (out.size() < blockEnd) out.resize(blockEnd, 0);
    return out;
}

// What the writer meant each tile to be: its size, and the check value (first four bytes
// of its image) for the tiles that begin or end a copied run.
struct WrittenTile {
    std::int32_t size = 0;
    std::int32_t checkValue = 0;
    bool checked = false;
};

// Reads the written file back: the reader must accept its front part, the tile tables must
// chain the images back to back from dataStart to the trailer, and the first bytes of every
// copied run (the first and last tile of each) must be the source's.
bool VerifyOutput(const MergePlan& plan, const std::string& path, std::int64_t tableStart, std::int64_t dataStart,
                  std::int64_t expectedLength, const std::vector<WrittenTile>& tiles, MergeFailure& failure) {
    const std::string unlike = "The merged file does not read back as it was written.";
    jnx::JnxDocument written;
    std::int32_t total = 0;
    std::string error;
    if (!jnx::ReadJnx(written, path, total, error, false))
        return Other(failure, "The merged file does not read back: " + error);
    bool same = written.Header.Version == plan.ResultVersion && written.Header.LevelCount == plan.LevelTotal &&
                written.Levels.size() == plan.Levels.size() && total == plan.TileTotal &&
                written.Header.Bounds == plan.Header.Bounds && !written.NeedsRegeneration &&
                static_cast<std::int64_t>(tiles.size()) == plan.TileTotal;
    std::int64_t tableOffset = tableStart;
    for (std::size_t i = 0; same && i < plan.Levels.size(); ++i) {
        same = written.Levels[i].TileCount == plan.Levels[i].TileCount &&
               written.Levels[i].Scale == plan.Levels[i].Scale && written.Levels[i].TableOffset == tableOffset;
        tableOffset += std::int64_t(jnx::kTileEntrySize) * plan.Levels[i].TileCount;
    }
    if (!same || tableOffset != dataStart) return Other(failure, unlike);

    platform::BinaryFile file;
    std::int64_t size = 0;
    if (!file.Open(path, platform::BinaryFile::Mode::Read, error) || !file.Size(size, error))
        return Other(failure, error);
    std::uint8_t trailer[sizeof kTrailer];
    if (size != expectedLength || !file.ReadAt(size - std::int64_t(sizeof kTrailer), trailer, sizeof trailer, error) ||
        !std::equal(trailer, trailer + sizeof trailer, kTrailer))
        return Other(failure, unlike);

    constexpr std::size_t kEntriesPerRead = 32768;
    Bytes buffer;
    std::int64_t expectedOffset = dataStart;
    for (std::size_t first = 0; first < tiles.size(); first += kEntriesPerRead) {
        const std::size_t count = std::min(kEntriesPerRead, tiles.size() - first);
        buffer.resize(count * jnx::kTileEntrySize);
        if (!file.ReadAt(tableStart + std::int64_t(first) * jnx::kTileEntrySize, buffer.data(), buffer.size(), error))
            return Other(failure, error);
        for (std::size_t j = 0; j < count; ++j) {
            const WrittenTile& meant = tiles[first + j];
            const jnx::JnxTile tile = jnx::LoadTile(buffer.data() + j * jnx::kTileEntrySize);
            if (tile.DataSize != meant.size || tile.DataOffset != expectedOffset) return Other(failure, unlike);
            if (meant.checked) {
                std::uint8_t head[4] = {0, 0, 0, 0};
                const auto n = static_cast<std::size_t>(std::min<std::int32_t>(meant.size, 4));
                if (!file.ReadAt(tile.DataOffset, head, n, error)) return Other(failure, error);
                const std::uint32_t mask = jnx::CheckMask(meant.size);
                if ((static_cast<std::uint32_t>(platform::LoadI32(head)) & mask) !=
                    (static_cast<std::uint32_t>(meant.checkValue) & mask))
                    return Other(failure, unlike);
            }
            expectedOffset += tile.DataSize;
        }
    }
    if (expectedOffset + std::int64_t(sizeof kTrailer) != expectedLength) return Other(failure, unlike);
    return true;
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

bool Write(const MergePlan& plan, jnx::JnxDocument& doc, std::string& outputPath, MergeFailure& failure,
           jnx::BusyObserver* busy, const MergeWriteOptions& options) {
    if (!PlanIsWritable(plan, failure)) return false;

    const std::int64_t headerSize = MergeHeaderSize(plan.ResultVersion);
    const std::int64_t tableStart = headerSize + MergeLevelTableSize(plan) + jnx::kMapBlockSpan;
    const std::int64_t dataStart = tableStart + std::int64_t(jnx::kTileEntrySize) * plan.TileTotal;
    if (dataStart > kMaxOffset) return Other(failure, "The merged file would hold too many tiles.");

    platform::CreateFolderPath(plan.TargetFolder);
    if (!platform::FolderExists(plan.TargetFolder))
        return Other(failure, "Cannot create the folder " + plan.TargetFolder + ".");

    TempFile temp(platform::TemporaryPathIn(plan.TargetFolder, "join"));
    std::string error;
    if (!temp.file.Open(temp.path(), platform::BinaryFile::Mode::CreateTruncate, error)) return Other(failure, error);

    std::vector<WrittenTile> meant;
    meant.reserve(static_cast<std::size_t>(plan.TileTotal));
    std::int64_t position = dataStart;
    std::int64_t tileIndex = 0;
    for (const auto& planned : plan.Sources) {
        std::int32_t tiles = 0;
        std::string readError;
        if (!jnx::ReadJnx(doc, planned.path, tiles, readError, true, busy))
            return Fail(failure, MergeFailureKind::LoadingFull, planned.path, readError);
        if (!SourceStillPlanned(doc, planned, tiles))
            return Other(failure, planned.path + " has changed since the merge was planned; nothing was written.");

        platform::BinaryFile source;
        std::int64_t sourceSize = 0;
        if (!source.Open(planned.path, platform::BinaryFile::Mode::Read, error) || !source.Size(sourceSize, error))
            return Other(failure, error);

        Bytes table(doc.Tiles.size() * jnx::kTileEntrySize);
        // Tiles that lie back to back in the source go across in one copy.
        std::int64_t runSource = 0, runDest = 0, runLength = 0;
        auto flush = [&]() {
            if (runLength == 0) return true;
            const bool ok = temp.file.CopyFrom(source, runSource, runDest, runLength, options.copyChunk, error);
            runLength = 0;
            return ok;
        };
        for (std::size_t i = 0; i < doc.Tiles.size(); ++i) {
            jnx::JnxTile tile = doc.Tiles[i];
            const std::int64_t from = doc.jpgOffset[i];
            const std::int64_t size = tile.DataSize;
            if (size <= 0 || from < 0 || from + size > sourceSize)
                return Other(failure, planned.path + ": the data of tile " + std::to_string(i + 1) +
                                          " does not lie within the file.");
            if (position + size > kMaxOffset - std::int64_t(sizeof kTrailer))
                return Other(failure, "The merged file would exceed the 2 GB that its offsets can address.");
            if (runLength > 0 && runSource + runLength == from) {
                runLength += size;
            } else {
                if (!flush()) return Other(failure, error);
                if (!meant.empty()) meant.back().checked = true;  // the last tile of the run before
                runSource = from;
                runDest = position;
                runLength = size;
            }
            tile.DataOffset = static_cast<std::int32_t>(position);
            jnx::StoreTile(tile, table.data() + i * jnx::kTileEntrySize);
            meant.push_back(WrittenTile{tile.DataSize, doc.CheckPointsImages[i].Value, runDest == position});
            position += size;
        }
        if (!flush()) return Other(failure, error);
        source.Close();
        const std::int64_t tablePos = tableStart + std::int64_t(jnx::kTileEntrySize) * tileIndex;
        if (!table.empty() && !temp.file.WriteAt(tablePos, table.data(), table.size(), error))
            return Other(failure, error);
        tileIndex += static_cast<std::int64_t>(doc.Tiles.size());
    }
    if (tileIndex != plan.TileTotal) return Fail(failure, MergeFailureKind::Checkpoint, {}, {});
    if (!temp.file.WriteAt(position, kTrailer, sizeof kTrailer, error)) return Other(failure, error);
    const std::int64_t fileLength = position + std::int64_t(sizeof kTrailer);

    const Bytes front = FrontPart(plan, tableStart);
    if (static_cast<std::int64_t>(front.size()) != tableStart) return Fail(failure, MergeFailureKind::Checkpoint, {}, {});
    if (!temp.file.WriteAt(0, front.data(), front.size(), error)) return Other(failure, error);
    temp.file.Close();

    if (!meant.empty()) meant.back().checked = true;
    if (!VerifyOutput(plan, temp.path(), tableStart, dataStart, fileLength, meant, failure)) return false;

    std::tm stamp{};
    if (options.stamp) {
        stamp = *options.stamp;
    } else {
        const std::time_t now = std::time(nullptr);
        localtime_r(&now, &stamp);
    }
    for (int attempt = 1; attempt <= kMaxPublishAttempts; ++attempt) {
        const std::string finalPath = platform::JoinPath(plan.TargetFolder, MergeFileName(stamp, attempt));
        if (platform::MoveFileNoReplace(temp.path(), finalPath, error)) {
            temp.Published();
            outputPath = finalPath;
            return true;
        }
        if (!platform::FileExists(finalPath) && !platform::FolderExists(finalPath)) return Other(failure, error);
    }
    return Other(failure, "Every name for the merged file in " + plan.TargetFolder + " is taken.");
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

bool WriteMerge(const MergePlan& plan, jnx::JnxDocument& doc, std::string& outputPath, MergeFailure& failure,
                jnx::BusyObserver* busy, const MergeWriteOptions& options) {
    try {
        return Write(plan, doc, outputPath, failure, busy, options);
    } catch (const std::exception& e) {
        return Other(failure, e.what());
    }
}

}  // namespace compose
