// JnxDocument: the in-memory model of the JNX file read last. The caller owns it and
// passes it to the reader and the writers; every read replaces it.
// Arrays are 0-based here: element i describes level i + 1 (or tile i + 1).
#pragma once
#include <string>
#include <vector>

#include "jnx/records.h"

namespace jnx {

struct JnxDocument {
    std::string FileName;  // kept by the window that loads a file; the reader does not touch it

    JnxHeader Header;
    std::vector<JnxLevel> Levels;
    std::vector<JnxLevelExtra> LevelExtras;
    JnxMapInfo MapInfo;
    std::vector<JnxLevelInfo> LevelInfos;
    Bytes Padding;

    // Full read only.
    std::vector<JnxTile> Tiles;
    Bytes Signature;
    std::vector<std::uint32_t> TileOffset;
    std::vector<std::uint32_t> jpgOffset;
    std::vector<CheckPoint> CheckPointsTiles;
    std::vector<CheckPoint> CheckPointsImages;
    // The file from its start to the map block's end (or the file's): what an in-place
    // update overwrites, kept so a writer can tell that no other edit came in between.
    Bytes FrontAsRead;
    std::vector<Bytes> Previews;  // a complete JPEG (FF D8 + stored bytes) per level; empty for a level without tiles or a preview tile over 16 MiB

    std::int64_t OffsetShift = 0;
    bool NeedsRegeneration = false;
    std::int32_t GroupNamePos = 0;
    std::int64_t BlockStart = 0;  // file offset of the map description block (or where it would be)
    std::int64_t FileLength = 0;  // length of the file when it was read

    // Index of the first tile of a level in Tiles (0-based level index).
    std::size_t FirstTileOf(std::size_t level) const;
    // Read in full, with a check value for every image: what every writer needs.
    bool ReadForWriting() const { return !Tiles.empty() && CheckPointsImages.size() == Tiles.size(); }
};

void ResetJnxDocument(JnxDocument& doc);

}  // namespace jnx
