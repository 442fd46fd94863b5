// The one writer of everything in front of the tile data: header, level table (version 3
// or 4), the 1024-byte map description block, the tile tables and the signature section;
// and the trailer that ends every file written here. Regeneration, level extraction, the
// merge and the demo map all lay out their files through it.
#pragma once
#include <cstdint>
#include <vector>

#include "jnx/records.h"
#include "platform/error.h"

namespace jnx {

inline constexpr std::uint8_t kTrailer[] = {'B', 'i', 'r', 'd', 's', 'E', 'y', 'e'};
inline constexpr std::int32_t kLevelExtra = 2;  // the only Extra value of a version 4 level entry

struct FrontPart {
    JnxHeader header;                   // Version picks the layout; LevelCount and the reserved fields are set here
    std::vector<JnxLevel> levels;       // TableOffset is set here, from the layout
    std::vector<Bytes> levelCopyrights; // version 4: each level entry's copyright zstring
    JnxMapInfo mapInfo;                 // InfoLevelCount is set here
    std::vector<JnxLevelInfo> levelInfos;
    std::vector<JnxTile> tiles;         // every level's tiles in level order, at their final DataOffset
    Bytes signature;
};

// Offsets of the layout.
std::int64_t TablesStart(const FrontPart& front);  // first tile table
std::int64_t DataStart(const FrontPart& front);    // first byte after the signature

// Length of the file when the tiles lie back to back from DataStart, trailer included.
std::int64_t LengthBackToBack(const FrontPart& front);
// Gives the tiles offsets back to back from DataStart; fails, before anything is written,
// when the file would pass kMaxFileLength.
bool PlaceTilesBackToBack(FrontPart& front, platform::Error& error);

// Serialises the front part: exactly DataStart(front) bytes. Checks that the texts are
// zero-terminated, that the block fits 1024 bytes, and that the table offsets fit.
bool BuildFrontPart(const FrontPart& front, Bytes& out, platform::Error& error);

// The map description block alone: BlockVersion .. last JnxLevelInfo, then zero padding
// up to exactly 1024 bytes.
bool BuildMapBlock(const JnxMapInfo& info, const std::vector<JnxLevelInfo>& levels, Bytes& out,
                   platform::Error& error);

void AppendI32(Bytes& out, std::int32_t value);
void AppendBytes(Bytes& out, const Bytes& bytes);

}  // namespace jnx
