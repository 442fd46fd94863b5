#include "jnx/regenerate.h"

#include <cstdlib>
#include <limits>

#include "platform/staged_file.h"
#include "jnx/write_values.h"
#include "platform/binary_file.h"

namespace jnx {
namespace {

bool Moved(std::int32_t offset, std::int64_t shift, std::int32_t& out) {
    const std::int64_t moved = std::int64_t(offset) + shift;
    if (moved < 0 || moved > std::numeric_limits<std::int32_t>::max()) return false;
    out = static_cast<std::int32_t>(moved);
    return true;
}

}  // namespace

bool RegenerateJnx(JnxDocument& doc, const EditorValues& window, const std::string& sourcePath,
                   const std::string& destPath, bool changeVersion, int targetVersion,
                   const WriterSettings& settings, std::string& errorText, BusyObserver* observer) {
    BusyScope busy(observer);
    std::string error;
    const int version = changeVersion ? targetVersion : doc.Header.Version;
    if (version != 3 && version != 4) {
        errorText = "Target version must be 3 or 4";
        return false;
    }
    if (settings.blockSize <= 0) {
        errorText = "BlockSize must be a positive number of bytes";
        return false;
    }
    if (doc.Tiles.empty() || doc.jpgOffset.empty() || doc.Levels.size() != doc.LevelInfos.size() ||
        doc.Levels.size() != doc.LevelExtras.size()) {
        errorText = "The file holds no tiles to copy";
        return false;
    }

    WriteValues values;
    if (!ResolveWriteValues(doc, window, settings, ScaleRule::WithPriority, values, errorText)) return false;

    if (doc.TileOffset.empty()) {
        errorText = "The file was not read with its tile tables";
        return false;
    }
    // The move of every offset: where the tile tables begin now, against where they began.
    // Counted from the level table as written here rather than from the copyrights the
    // block holds, so a version 4 source whose level entries carry other copyright texts
    // (files without a map block) still comes out with the right offsets.
    std::int64_t newTableStart = (version == 4 ? kHeaderSize + 4 : kHeaderSize) + kMapBlockSpan;
    for (std::size_t i = 0; i < doc.Levels.size(); ++i)
        newTableStart += kLevelEntrySize + (version == 4 ? 4 + std::int64_t(doc.LevelExtras[i].Copyright.size()) : 0);
    const std::int64_t shift = newTableStart - std::int64_t(doc.TileOffset[0]);

    JnxMapInfo info = doc.MapInfo;
    info.GroupName = values.groupName;
    info.InfoLevelCount = doc.Header.LevelCount;
    std::vector<JnxLevelInfo> levelInfos = doc.LevelInfos;
    for (std::size_t i = 0; i < levelInfos.size(); ++i) levelInfos[i].Zoom = values.zooms[i];
    Bytes block;
    if (!BuildMapBlock(info, levelInfos, block, errorText)) return false;

    // Everything in front of the tile data: header, level table, block, tile tables, signature.
    Bytes front;
    JnxHeader header = doc.Header;
    header.Version = version;
    header.ProductId = values.productId;
    header.ZeroedField1 = header.ZeroedField2 = header.ZeroedField3 = header.ZeroedField4 = header.ZeroedField5 = 0;
    front.resize(kHeaderSize);
    StoreHeader(header, front.data());
    if (version == 4) AppendI32(front, doc.Header.DrawOrder);
    std::vector<JnxLevel> levels = doc.Levels;
    for (std::size_t i = 0; i < levels.size(); ++i) {
        levels[i].Scale = values.scales[i];
        if (!Moved(doc.Levels[i].TableOffset, shift, levels[i].TableOffset)) {
            errorText = "Tile table offsets would not fit the file format";
            return false;
        }
        std::uint8_t entry[kLevelEntrySize];
        StoreLevel(levels[i], entry);
        front.insert(front.end(), entry, entry + kLevelEntrySize);
        if (version == 4) {
            AppendI32(front, 2);
            AppendBytes(front, doc.LevelExtras[i].Copyright);
        }
    }
    AppendBytes(front, block);
    std::vector<JnxTile> tiles = doc.Tiles;
    for (auto& tile : tiles) {
        if (!Moved(tile.DataOffset, shift, tile.DataOffset)) {
            errorText = "Tile data offsets would not fit the file format";
            return false;
        }
        std::uint8_t entry[kTileEntrySize];
        StoreTile(tile, entry);
        front.insert(front.end(), entry, entry + kTileEntrySize);
    }
    AppendBytes(front, doc.Signature);

    platform::BinaryFile source;
    if (!source.Open(sourcePath, platform::BinaryFile::Mode::Read, error)) {
        errorText = error;
        return false;
    }
    std::int64_t sourceLength = 0;
    if (!source.Size(sourceLength, error)) {
        errorText = error;
        return false;
    }
    const std::int64_t dataStart = doc.jpgOffset[0];
    if (dataStart > sourceLength || std::int64_t(front.size()) != dataStart + shift) {
        errorText = "The file has changed since it was read";
        return false;
    }

    StagedFile out(destPath);
    if (!out.Create(error) || !out.File().WriteAt(0, front.data(), front.size(), error) ||
        !out.File().CopyFrom(source, dataStart, std::int64_t(front.size()), sourceLength - dataStart,
                             settings.blockSize, error)) {
        errorText = error;
        return false;
    }

    std::int64_t newLength = 0;
    if (!out.File().Size(newLength, error)) {
        errorText = error;
        return false;
    }
    if (std::llabs(newLength - sourceLength) != std::llabs(shift) || newLength - sourceLength != shift) {
        errorText = kErrFilelen;
        return false;
    }
    const auto all = std::numeric_limits<std::int64_t>::max();
    if (FirstBrokenCheckPoint(out.File(), doc.CheckPointsTiles, shift, all) != doc.CheckPointsTiles.size()) {
        errorText = kErrOffsetCheck;
        return false;
    }
    if (FirstBrokenCheckPoint(out.File(), doc.CheckPointsImages, shift, all) != doc.CheckPointsImages.size()) {
        errorText = kErrOffsetCheck2;
        return false;
    }
    if (!out.Publish(error)) {
        errorText = error;
        return false;
    }

    // The document now carries the new file's values, but still the source's version,
    // check points and name.
    doc.Header.ProductId = values.productId;
    doc.Levels = levels;
    doc.Tiles = tiles;
    doc.MapInfo.GroupName = values.groupName;
    doc.MapInfo.InfoLevelCount = doc.Header.LevelCount;
    for (std::size_t i = 0; i < doc.LevelInfos.size(); ++i) doc.LevelInfos[i].Zoom = values.zooms[i];
    doc.Padding.assign(block.begin() + std::ptrdiff_t(MapBlockLength(info, levelInfos)), block.end());
    return true;
}

}  // namespace jnx
