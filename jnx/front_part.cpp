#include "jnx/front_part.h"

#include <algorithm>
#include <limits>

#include "platform/le.h"

namespace jnx {
namespace {

using platform::Error;
using platform::ErrorCode;

bool IsVersion4(const FrontPart& front) { return front.header.Version == 4; }

// A zero inside a text would end it there for every reader, and all that follows in the
// block would be read shifted: the last defence, whatever the text's source.
bool HoldsInnerZero(const Bytes& text) {
    return text.size() > 1 && std::find(text.begin(), text.end() - 1, std::uint8_t(0)) != text.end() - 1;
}

std::int64_t LevelTableSize(const FrontPart& front) {
    std::int64_t size = std::int64_t(kLevelEntrySize) * std::int64_t(front.levels.size());
    if (IsVersion4(front)) {
        for (const Bytes& copyright : front.levelCopyrights) size += 4 + std::int64_t(copyright.size());
    }
    return size;
}

}  // namespace

void AppendI32(Bytes& out, std::int32_t value) {
    std::uint8_t raw[4];
    platform::StoreI32(raw, value);
    out.insert(out.end(), raw, raw + 4);
}

void AppendBytes(Bytes& out, const Bytes& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

std::int64_t TablesStart(const FrontPart& front) {
    return kHeaderSize + (IsVersion4(front) ? 4 : 0) + LevelTableSize(front) + kMapBlockSpan;
}

std::int64_t DataStart(const FrontPart& front) {
    return TablesStart(front) + std::int64_t(kTileEntrySize) * std::int64_t(front.tiles.size()) +
           std::int64_t(front.signature.size());
}

std::int64_t LengthBackToBack(const FrontPart& front) {
    std::int64_t length = DataStart(front) + std::int64_t(sizeof kTrailer);
    for (const JnxTile& tile : front.tiles) length += tile.DataSize;
    return length;
}

bool PlaceTilesBackToBack(FrontPart& front, Error& error) {
    for (const JnxTile& tile : front.tiles) {
        if (tile.DataSize <= 0) return platform::Fail(error, Error(ErrorCode::TileWithoutData));
    }
    const std::int64_t length = LengthBackToBack(front);
    if (length > kMaxFileLength) return platform::Fail(error, Error(ErrorCode::FileTooLarge).Value(length));
    std::int64_t offset = DataStart(front);
    for (JnxTile& tile : front.tiles) {
        tile.DataOffset = static_cast<std::uint32_t>(offset);
        offset += tile.DataSize;
    }
    return true;
}

bool BuildMapBlock(const JnxMapInfo& info, const std::vector<JnxLevelInfo>& levels, Bytes& out, Error& error) {
    bool innerZero = HoldsInnerZero(info.MapGuid) || HoldsInnerZero(info.GroupName) || HoldsInnerZero(info.MapTitle);
    for (const auto& level : levels)
        innerZero = innerZero || HoldsInnerZero(level.Name) || HoldsInnerZero(level.Description) ||
                    HoldsInnerZero(level.Copyright);
    if (innerZero) return platform::Fail(error, Error(ErrorCode::TextHoldsZero));
    const std::int64_t length = MapBlockLength(info, levels);
    if (length >= kMapBlockSpan) return platform::Fail(error, Error(ErrorCode::MapBlockOverflow).Value(length));
    out.clear();
    out.reserve(kMapBlockSpan);
    AppendI32(out, info.BlockVersion);
    AppendBytes(out, info.MapGuid);
    AppendBytes(out, info.GroupName);
    out.insert(out.end(), info.ReservedBytes.begin(), info.ReservedBytes.end());
    AppendBytes(out, info.MapTitle);
    AppendI32(out, info.InfoLevelCount);
    for (const auto& level : levels) {
        AppendBytes(out, level.Name);
        AppendBytes(out, level.Description);
        AppendBytes(out, level.Copyright);
        AppendI32(out, level.Zoom);
    }
    if (std::int64_t(out.size()) != length) return platform::Fail(error, Error(ErrorCode::MapBlockNotTerminated));
    out.resize(kMapBlockSpan, 0);
    return true;
}

bool BuildFrontPart(const FrontPart& front, Bytes& out, Error& error) {
    const bool v4 = IsVersion4(front);
    const std::size_t levelCount = front.levels.size();
    if ((front.header.Version != 3 && !v4)) return platform::Fail(error, Error(ErrorCode::BadTargetVersion));
    if (levelCount == 0 || front.levelInfos.size() != levelCount || (v4 && front.levelCopyrights.size() != levelCount))
        return platform::Fail(error, Error(ErrorCode::NotReadWithTables));
    if (DataStart(front) > kMaxFileLength)
        return platform::Fail(error, Error(ErrorCode::FileTooLarge).Value(DataStart(front)));

    if (std::any_of(front.levelCopyrights.begin(), front.levelCopyrights.end(), HoldsInnerZero))
        return platform::Fail(error, Error(ErrorCode::TextHoldsZero));
    JnxMapInfo info = front.mapInfo;
    info.InfoLevelCount = static_cast<std::int32_t>(levelCount);
    Bytes block;
    if (!BuildMapBlock(info, front.levelInfos, block, error)) return false;

    JnxHeader header = front.header;
    header.LevelCount = static_cast<std::int32_t>(levelCount);
    header.ZeroedField1 = header.ZeroedField2 = header.ZeroedField3 = header.ZeroedField4 = header.ZeroedField5 = 0;
    out.assign(kHeaderSize, 0);
    StoreHeader(header, out.data());
    if (v4) AppendI32(out, header.DrawOrder);

    std::int64_t tableOffset = TablesStart(front);
    std::size_t tileCount = 0;
    for (std::size_t i = 0; i < levelCount; ++i) {
        JnxLevel level = front.levels[i];
        if (level.TileCount < 0) return platform::Fail(error, Error(ErrorCode::TableOffsetsOverflow));
        level.TableOffset = static_cast<std::uint32_t>(tableOffset);
        tableOffset += std::int64_t(kTileEntrySize) * level.TileCount;
        tileCount += std::size_t(level.TileCount);
        std::uint8_t entry[kLevelEntrySize];
        StoreLevel(level, entry);
        out.insert(out.end(), entry, entry + kLevelEntrySize);
        if (v4) {
            AppendI32(out, kLevelExtra);
            AppendBytes(out, front.levelCopyrights[i]);
        }
    }
    if (tileCount != front.tiles.size()) return platform::Fail(error, Error(ErrorCode::NotReadWithTables));
    AppendBytes(out, block);
    out.reserve(std::size_t(DataStart(front)));
    for (const JnxTile& tile : front.tiles) {
        std::uint8_t entry[kTileEntrySize];
        StoreTile(tile, entry);
        out.insert(out.end(), entry, entry + kTileEntrySize);
    }
    AppendBytes(out, front.signature);
    if (std::int64_t(out.size()) != DataStart(front)) return platform::Fail(error, Error(ErrorCode::LevelTableEnd));
    return true;
}

}  // namespace jnx
