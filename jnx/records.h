// The records of a JNX file (versions 3 and 4), field by field as they lie on disk.
// Zero-terminated strings are kept as raw bytes including their terminating 0 byte.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

namespace jnx {

using Bytes = std::vector<std::uint8_t>;

inline constexpr int kHeaderSize = 48;          // without DrawOrder
inline constexpr int kLevelEntrySize = 12;      // version 3 entry, and the common part of a version 4 entry
inline constexpr int kTileEntrySize = 28;
inline constexpr int kMapBlockSpan = 1024;      // block plus padding in every file written here
inline constexpr int kMapBlockVersion = 9;
inline constexpr int kDefaultDrawOrder = 25;    // what a version 3 file is taken to have
inline constexpr int kMaxZstring = 32767;       // terminator included
// Offsets are unsigned 32-bit fields, so no byte of a map lies at 4 GiB or beyond: the
// reader and every writer share this limit, and nothing is written that cannot be read.
inline constexpr std::int64_t kMaxFileLength = 0xFFFFFFFFLL;

struct JnxHeader {
    std::int32_t Version = 0;
    std::int32_t ZeroedField1 = 0;
    std::array<std::int32_t, 4> Bounds{};
    std::int32_t LevelCount = 0;
    std::int32_t ZeroedField2 = 0;
    std::int32_t ProductId = 0;
    std::int32_t ZeroedField3 = 0;
    std::int32_t ZeroedField4 = 0;
    std::int32_t ZeroedField5 = 0;
    std::int32_t DrawOrder = kDefaultDrawOrder;  // stored only in version 4
};

struct JnxLevel {
    std::int32_t TileCount = 0;
    std::uint32_t TableOffset = 0;
    std::int32_t Scale = 0;
};

struct JnxLevelExtra {
    std::int32_t Extra = 2;
    Bytes Copyright{0};
};

struct JnxMapInfo {
    std::int32_t BlockVersion = kMapBlockVersion;
    Bytes MapGuid{0};
    Bytes GroupName{0};
    std::array<std::uint8_t, 3> ReservedBytes{};
    Bytes MapTitle{0};
    std::int32_t InfoLevelCount = 0;
};

struct JnxLevelInfo {
    Bytes Name{0};
    Bytes Description{0};
    Bytes Copyright{0};
    std::int32_t Zoom = 0;
};

struct JnxTile {
    std::array<std::int32_t, 4> TileBounds{};
    std::array<std::uint8_t, 4> TileAux{};
    std::int32_t DataSize = 0;
    std::uint32_t DataOffset = 0;
};

struct CheckPoint {
    std::uint32_t Offset = 0;
    std::int32_t Value = 0;
};

// Serialisation of the fixed-size records (little-endian).
void StoreHeader(const JnxHeader& header, std::uint8_t out[kHeaderSize]);
JnxHeader LoadHeader(const std::uint8_t in[kHeaderSize]);
void StoreLevel(const JnxLevel& level, std::uint8_t out[kLevelEntrySize]);
JnxLevel LoadLevel(const std::uint8_t in[kLevelEntrySize]);
void StoreTile(const JnxTile& tile, std::uint8_t out[kTileEntrySize]);
JnxTile LoadTile(const std::uint8_t in[kTileEntrySize]);

// Text length of a zstring held with its terminator (0 for an empty one).
inline std::int64_t TextLength(const Bytes& zstring) {
    return zstring.empty() ? 0 : static_cast<std::int64_t>(zstring.size()) - 1;
}

// Length L of a map block with these texts: 14 + g + n + t + sum(7 + a + b + c).
std::int64_t MapBlockLength(const JnxMapInfo& info, const std::vector<JnxLevelInfo>& levels);

}  // namespace jnx
