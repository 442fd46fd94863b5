#include "jnx/modif.h"

#include <limits>

#include "jnx/front_part.h"
#include "jnx/product_id_copy.h"
#include "jnx/write_guard.h"
#include "jnx/write_values.h"
#include "platform/binary_file.h"
#include "platform/le.h"

namespace jnx {
namespace {

using platform::Error;
using platform::ErrorCode;
using platform::Fail;

// Positions of the Scale fields, found by walking the level table as the file holds it
// (a version 4 entry's copyright may differ in length from the block's copy of it).
bool ScalePositions(const Bytes& front, const JnxDocument& doc, std::vector<std::int64_t>& positions,
                    platform::Error& error) {
    std::int64_t pos = doc.Header.Version == 4 ? kHeaderSize + 4 : kHeaderSize;
    positions.clear();
    for (std::size_t i = 0; i < doc.Levels.size(); ++i) {
        if (pos + kLevelEntrySize > std::int64_t(front.size())) {
            return platform::Fail(error, platform::Error(platform::ErrorCode::LevelTableOverrun));
        }
        positions.push_back(pos + 8);
        pos += kLevelEntrySize;
        if (doc.Header.Version == 4) {
            pos += 4;
            while (pos < std::int64_t(front.size()) && front[std::size_t(pos)] != 0) ++pos;
            ++pos;
        }
    }
    if (pos != doc.BlockStart) {
        return platform::Fail(error, platform::Error(platform::ErrorCode::LevelTableEnd));
    }
    return true;
}

}  // namespace

bool ModifJNX(JnxDocument& doc, const WriteValues& values, const std::string& path, Error& error,
              BusyObserver* observer, const platform::FileLock* held) {
    BusyScope busy(observer);
    if (doc.NeedsRegeneration || !doc.ReadForWriting() || doc.Levels.size() != doc.LevelInfos.size() ||
        doc.CheckPointsTiles.size() != doc.Levels.size() || values.scales.size() != doc.Levels.size() ||
        values.zooms.size() != doc.Levels.size())
        return Fail(error, Error(ErrorCode::CannotPatch).File(path));

    JnxMapInfo info = doc.MapInfo;
    info.GroupName = values.groupName;
    info.ReservedBytes = ReservedBytesFor(doc.MapInfo.ReservedBytes, doc.Header.ProductId, values.productId);
    info.InfoLevelCount = doc.Header.LevelCount;
    std::vector<JnxLevelInfo> levelInfos = doc.LevelInfos;
    for (std::size_t i = 0; i < levelInfos.size(); ++i) levelInfos[i].Zoom = values.zooms[i];
    Bytes block;
    if (!BuildMapBlock(info, levelInfos, block, error)) return false;

    const std::int64_t frontEnd = doc.BlockStart + kMapBlockSpan;
    const std::int64_t groupOffset = doc.GroupNamePos - doc.BlockStart;
    if (groupOffset < 4 || groupOffset >= kMapBlockSpan) return Fail(error, Error(ErrorCode::MapBlockMoved).File(path));

    platform::FileLock ownLock;
    platform::BinaryFile file;
    if (!LockMap(path, held, ownLock, error, observer) ||
        !file.Open(path, platform::BinaryFile::Mode::ReadWrite, error) ||
        !StillAsRead(file, doc, path, error))
        return false;
    std::int64_t lengthBefore = 0;
    if (!file.Size(lengthBefore, error)) return false;
    if (lengthBefore < frontEnd) return Fail(error, Error(ErrorCode::FileShorter).File(path));
    // Everything this update may overwrite, kept so that a failure can put it back.
    Bytes original(static_cast<std::size_t>(frontEnd));
    if (!file.ReadAt(0, original.data(), original.size(), error)) return false;
    // The block as read must still begin with the identifier the reader saw.
    if (!std::equal(doc.MapInfo.MapGuid.begin(), doc.MapInfo.MapGuid.end(),
                    original.begin() + std::ptrdiff_t(doc.BlockStart + 4)))
        return Fail(error, Error(ErrorCode::MapBlockMoved).File(path));
    std::vector<std::int64_t> scalePositions;
    if (!ScalePositions(original, doc, scalePositions, error)) return false;

    Bytes patched = original;
    auto put = [&](std::int64_t pos, std::int32_t value) { platform::StoreI32(&patched[std::size_t(pos)], value); };
    put(4, 0);
    put(28, 0);
    put(32, values.productId);
    put(36, 0);
    put(40, 0);
    put(44, 0);
    if (doc.Header.Version == 4) put(48, values.drawOrder);
    for (std::size_t i = 0; i < scalePositions.size(); ++i) put(scalePositions[i], values.scales[i]);
    // BlockVersion and MapGuid stay as they are; from GroupName on the block is rewritten.
    std::copy(block.begin() + groupOffset, block.end(), patched.begin() + std::ptrdiff_t(doc.GroupNamePos));

    auto restore = [&](Error why) {
        Error ignored;
        file.WriteAt(0, original.data(), original.size(), ignored);
        file.Sync(ignored);
        return Fail(error, std::move(why));
    };

    if (!file.WriteAt(0, patched.data(), patched.size(), error) || !file.Sync(error)) return restore(error);

    std::int64_t lengthAfter = 0;
    if (!file.Size(lengthAfter, error)) return restore(error);
    if (lengthAfter != lengthBefore) return restore(Error(ErrorCode::LengthChangedByUpdate).File(path));
    if (FirstBrokenCheckPoint(file, doc.CheckPointsTiles, 0, std::numeric_limits<std::int64_t>::max()) !=
        doc.CheckPointsTiles.size())
        return restore(Error(ErrorCode::PatchedTables).File(path));
    // Image data lies beyond the bytes written; only points inside them could have moved.
    if (FirstBrokenCheckPoint(file, doc.CheckPointsImages, 0, frontEnd) != doc.CheckPointsImages.size())
        return restore(Error(ErrorCode::PatchedImages).File(path));
    file.Close();

    doc.Header.ProductId = values.productId;
    doc.Header.DrawOrder = values.drawOrder;
    doc.MapInfo.GroupName = values.groupName;
    doc.MapInfo.ReservedBytes = info.ReservedBytes;
    doc.MapInfo.InfoLevelCount = doc.Header.LevelCount;
    for (std::size_t i = 0; i < doc.LevelInfos.size(); ++i) doc.LevelInfos[i].Zoom = values.zooms[i];
    doc.Padding.assign(block.begin() + std::ptrdiff_t(MapBlockLength(info, levelInfos)), block.end());
    doc.FrontAsRead = std::move(patched);
    return true;
}

}  // namespace jnx
