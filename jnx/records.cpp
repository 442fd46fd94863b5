#include "jnx/records.h"

#include "platform/le.h"

namespace jnx {

using platform::LoadI32;
using platform::StoreI32;
using platform::StoreU32;
using platform::LoadU32;

void StoreHeader(const JnxHeader& header, std::uint8_t out[kHeaderSize]) {
    StoreI32(out + 0, header.Version);
    StoreI32(out + 4, header.ZeroedField1);
    for (int i = 0; i < 4; ++i) StoreI32(out + 8 + 4 * i, header.Bounds[std::size_t(i)]);
    StoreI32(out + 24, header.LevelCount);
    StoreI32(out + 28, header.ZeroedField2);
    StoreI32(out + 32, header.ProductId);
    StoreI32(out + 36, header.ZeroedField3);
    StoreI32(out + 40, header.ZeroedField4);
    StoreI32(out + 44, header.ZeroedField5);
}

JnxHeader LoadHeader(const std::uint8_t in[kHeaderSize]) {
    JnxHeader header;
    header.Version = LoadI32(in + 0);
    header.ZeroedField1 = LoadI32(in + 4);
    for (int i = 0; i < 4; ++i) header.Bounds[std::size_t(i)] = LoadI32(in + 8 + 4 * i);
    header.LevelCount = LoadI32(in + 24);
    header.ZeroedField2 = LoadI32(in + 28);
    header.ProductId = LoadI32(in + 32);
    header.ZeroedField3 = LoadI32(in + 36);
    header.ZeroedField4 = LoadI32(in + 40);
    header.ZeroedField5 = LoadI32(in + 44);
    return header;
}

void StoreLevel(const JnxLevel& level, std::uint8_t out[kLevelEntrySize]) {
    StoreI32(out + 0, level.TileCount);
    StoreU32(out + 4, level.TableOffset);
    StoreI32(out + 8, level.Scale);
}

JnxLevel LoadLevel(const std::uint8_t in[kLevelEntrySize]) {
    JnxLevel level;
    level.TileCount = LoadI32(in + 0);
    level.TableOffset = LoadU32(in + 4);
    level.Scale = LoadI32(in + 8);
    return level;
}

void StoreTile(const JnxTile& tile, std::uint8_t out[kTileEntrySize]) {
    for (int i = 0; i < 4; ++i) StoreI32(out + 4 * i, tile.TileBounds[std::size_t(i)]);
    for (int i = 0; i < 4; ++i) out[16 + i] = tile.TileAux[std::size_t(i)];
    StoreI32(out + 20, tile.DataSize);
    StoreU32(out + 24, tile.DataOffset);
}

JnxTile LoadTile(const std::uint8_t in[kTileEntrySize]) {
    JnxTile tile;
    for (int i = 0; i < 4; ++i) tile.TileBounds[std::size_t(i)] = LoadI32(in + 4 * i);
    for (int i = 0; i < 4; ++i) tile.TileAux[std::size_t(i)] = in[16 + i];
    tile.DataSize = LoadI32(in + 20);
    tile.DataOffset = LoadU32(in + 24);
    return tile;
}

std::int64_t MapBlockLength(const JnxMapInfo& info, const std::vector<JnxLevelInfo>& levels) {
    std::int64_t length = 14 + TextLength(info.MapGuid) + TextLength(info.GroupName) + TextLength(info.MapTitle);
    for (const auto& level : levels)
        length += 7 + TextLength(level.Name) + TextLength(level.Description) + TextLength(level.Copyright);
    return length;
}

}  // namespace jnx
