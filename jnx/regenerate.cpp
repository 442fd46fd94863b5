#include "jnx/regenerate.h"

#include <limits>

#include "jnx/front_part.h"
#include "jnx/product_id_copy.h"
#include "jnx/write_guard.h"
#include "platform/new_file.h"

namespace jnx {
namespace {

using platform::Error;
using platform::ErrorCode;
using platform::Fail;

bool Moved(std::uint32_t offset, std::int64_t shift, std::uint32_t& out) {
    const std::int64_t moved = std::int64_t(offset) + shift;
    if (moved < 0 || moved > kMaxFileLength) return false;
    out = static_cast<std::uint32_t>(moved);
    return true;
}

// The source's front part with the new values, every tile moved by where the data now
// begins against where it began.
bool NewFrontPart(const JnxDocument& doc, const WriteValues& values, int version, FrontPart& front,
                  std::int64_t& shift, Error& error) {
    front.header = doc.Header;
    front.header.Version = version;
    front.header.ProductId = values.productId;
    front.header.DrawOrder = values.drawOrder;
    front.levels = doc.Levels;
    for (std::size_t i = 0; i < front.levels.size(); ++i) front.levels[i].Scale = values.scales[i];
    for (const auto& extra : doc.LevelExtras) front.levelCopyrights.push_back(extra.Copyright);
    front.mapInfo = doc.MapInfo;
    front.mapInfo.GroupName = values.groupName;
    front.mapInfo.ReservedBytes = ReservedBytesFor(doc.MapInfo.ReservedBytes, doc.Header.ProductId, values.productId);
    front.levelInfos = doc.LevelInfos;
    for (std::size_t i = 0; i < front.levelInfos.size(); ++i) front.levelInfos[i].Zoom = values.zooms[i];
    front.tiles = doc.Tiles;
    front.signature = doc.Signature;

    shift = TablesStart(front) - std::int64_t(doc.TileOffset[0]);
    // A map that grows (a version change, a longer front part) may pass what offsets address.
    if (doc.FileLength + shift > kMaxFileLength)
        return Fail(error, Error(ErrorCode::FileTooLarge).Value(doc.FileLength + shift));
    for (auto& level : front.levels) {
        if (!Moved(level.TableOffset, shift, level.TableOffset))
            return Fail(error, Error(ErrorCode::TableOffsetsOverflow));
    }
    for (auto& tile : front.tiles) {
        if (!Moved(tile.DataOffset, shift, tile.DataOffset)) return Fail(error, Error(ErrorCode::DataOffsetsOverflow));
    }
    return true;
}

// The new file must hold the source's bytes exactly where the moved offsets say.
bool VerifyRegenerated(const JnxDocument& doc, const platform::BinaryFile& file, std::int64_t sourceLength, std::int64_t shift,
                       const std::string& destPath, Error& error) {
    std::int64_t newLength = 0;
    if (!file.Size(newLength, error)) return false;
    if (newLength - sourceLength != shift) return Fail(error, Error(ErrorCode::RegeneratedLength).File(destPath));
    const auto all = std::numeric_limits<std::int64_t>::max();
    if (FirstBrokenCheckPoint(file, doc.CheckPointsTiles, shift, all) != doc.CheckPointsTiles.size())
        return Fail(error, Error(ErrorCode::RegeneratedTables).File(destPath));
    if (FirstBrokenCheckPoint(file, doc.CheckPointsImages, shift, all) != doc.CheckPointsImages.size())
        return Fail(error, Error(ErrorCode::RegeneratedImages).File(destPath));
    return true;
}

}  // namespace

bool RegenerateJnx(JnxDocument& doc, const WriteValues& values, int version, const std::string& sourcePath,
                   const std::string& destPath, const WriterSettings& settings, Error& error, BusyObserver* observer,
                   const platform::FileLock* held) {
    BusyScope busy(observer);
    if (version != 3 && version != 4) return Fail(error, Error(ErrorCode::BadTargetVersion));
    if (settings.blockSize <= 0) return Fail(error, Error(ErrorCode::BadBlockSize));
    if (doc.Tiles.empty() || doc.jpgOffset.empty() || doc.Levels.size() != doc.LevelInfos.size() ||
        doc.Levels.size() != doc.LevelExtras.size())
        return Fail(error, Error(ErrorCode::NoTilesToCopy).File(sourcePath));
    if (doc.TileOffset.empty() || !doc.ReadForWriting() || values.scales.size() != doc.Levels.size() ||
        values.zooms.size() != doc.Levels.size())
        return Fail(error, Error(ErrorCode::NotReadWithTables).File(sourcePath));

    FrontPart front;
    std::int64_t shift = 0;
    Bytes bytes;
    if (!NewFrontPart(doc, values, version, front, shift, error) || !BuildFrontPart(front, bytes, error)) return false;

    // Let go only once the new file is published or removed: no other writer may start on
    // the source before.
    platform::FileLock ownLock;
    platform::BinaryFile source;
    std::int64_t sourceLength = 0;
    if (!LockMap(sourcePath, held, ownLock, error, observer) ||
        !source.Open(sourcePath, platform::BinaryFile::Mode::Read, error) || !source.Size(sourceLength, error))
        return false;
    const std::int64_t dataStart = doc.jpgOffset[0];
    if (dataStart > sourceLength || std::int64_t(bytes.size()) != dataStart + shift)
        return Fail(error, Error(ErrorCode::FileChanged).File(sourcePath));

    // The wait for the lock may have been long: a cancel meanwhile stops before any write.
    if (Cancelled(observer)) return Fail(error, Error(ErrorCode::Cancelled).File(destPath));
    const std::int64_t dataLength = sourceLength - dataStart;
    platform::NewFile out(destPath, destPath == sourcePath ? platform::NewFile::Target::MayReplace
                                                           : ChosenNameTarget(settings));
    if (!out.Create(error) || !out.File().WriteAt(0, bytes.data(), bytes.size(), error) ||
        !out.File().CopyFrom(source, dataStart, std::int64_t(bytes.size()), dataLength,
                             CopyChunkFor(observer, settings.blockSize), error,
                             ReportCopies(observer, 0, dataLength)))
        return false;
    const auto verify = [&](platform::BinaryFile& file, Error& e) {
        return StillAsRead(source, doc, sourcePath, e) &&
               VerifyRegenerated(doc, file, sourceLength, shift, destPath, e);
    };
    // The last point where stopping leaves the source as the only file.
    if (Cancelled(observer)) return Fail(error, Error(ErrorCode::Cancelled).File(destPath));
    if (!out.Publish(error, verify)) return false;

    // The document now carries the new file's values, but still the source's version,
    // check points and name.
    doc.Header.ProductId = values.productId;
    doc.Header.DrawOrder = values.drawOrder;
    doc.Levels = front.levels;
    doc.Tiles = front.tiles;
    doc.MapInfo.GroupName = values.groupName;
    doc.MapInfo.ReservedBytes = front.mapInfo.ReservedBytes;
    doc.MapInfo.InfoLevelCount = doc.Header.LevelCount;
    doc.LevelInfos = front.levelInfos;
    doc.Padding.assign(std::size_t(kMapBlockSpan - MapBlockLength(front.mapInfo, front.levelInfos)), 0);
    return true;
}

}  // namespace jnx
