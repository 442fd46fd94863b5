// Builds JNX files field by field for the tests, shaped as this program writes them and
// as other producers do (no map block, odd gaps, Extra other than 2, differing copyright
// lengths, signatures, long trailers).
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace fixture {

using Bytes = std::vector<std::uint8_t>;

struct TileRecipe {
    Bytes data;  // stored image bytes (a JPEG without its leading FF D8)
    std::array<std::int32_t, 4> bounds{1, 2, 3, 4};
    std::array<std::uint8_t, 4> aux{0, 1, 0, 0};
};

struct LevelRecipe {
    std::int32_t scale = 4777;
    std::vector<TileRecipe> tiles;
    std::string name = "Layer name";
    std::string description = "Layer description";
    std::string copyright = "Copyright";
    // Version 4 level-table copy of the copyright; empty = the same as copyright.
    std::string tableCopyright;
    bool tableCopyrightSet = false;
    std::int32_t extra = 2;
    std::int32_t zoom = 1;
};

struct JnxRecipe {
    int version = 4;
    std::array<std::int32_t, 4> bounds{100, 200, 50, 60};
    std::int32_t productId = 7;
    std::int32_t drawOrder = 30;
    std::array<std::int32_t, 5> zeroedFields{0, 0, 0, 0, 0};
    bool withMapBlock = true;
    std::int32_t blockVersion = 9;
    std::string guid = "0123ABCD-4567-89EF-0123-456789ABCDEF";
    std::string groupName = "BirdsEye Satellite Imagery Subscription";
    std::array<std::uint8_t, 3> reserved{0, 0, 0};
    std::string mapTitle = "Test map";
    // Bytes between the end of the block and the first tile table; -1 = pad to exactly 1024.
    int gap = -1;
    // Omit the last level's Zoom so the block ends 4 bytes early (overlap case).
    bool lastZoomMissing = false;
    Bytes signature;
    Bytes trailer{'B', 'i', 'r', 'd', 's', 'E', 'y', 'e'};
    // Write tile data in reverse order (data of tile 1 last) to mimic other producers.
    bool reverseDataOrder = false;
    std::vector<LevelRecipe> levels;
};

// Layout facts of a built file, for tests that patch or compare offsets.
struct BuiltJnx {
    Bytes bytes;
    std::int64_t blockStart = 0;
    std::int64_t firstTableOffset = 0;
    std::vector<std::int64_t> scalePositions;   // one per level
    std::vector<std::int64_t> tableOffsets;     // one per level
    std::vector<std::int64_t> dataOffsets;      // one per tile, in table order
    std::int64_t groupNamePos = 0;
};

BuiltJnx BuildJnx(const JnxRecipe& recipe);

// A small valid-looking JPEG body (without FF D8), distinct per seed, size >= 4.
Bytes MakeTileData(int seed, std::size_t size = 64);
// A stored tile as a whole JPEG again, its FF D8 put back.
inline Bytes WithSoi(const Bytes& stored) {
    Bytes image{0xFF, 0xD8};
    image.insert(image.end(), stored.begin(), stored.end());
    return image;
}
// A recipe with the given number of levels and tiles per level, tiles of assorted sizes.
JnxRecipe SimpleRecipe(int version, int levels, int tilesPerLevel);

void WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);
// Writes a built map with a hole that takes no room on disk: the images from tile fromTile
// (in table order) on, and the trailer, move to offset to, and the tables say so. Maps of
// several GiB cost a few kilobytes this way.
void WriteWithHole(const std::string& path, const BuiltJnx& built, std::size_t fromTile, std::int64_t to);

// A fresh empty folder under the system temp folder, removed when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::vector<std::string> list() const;  // file names, sorted

private:
    std::string path_;
};

}  // namespace fixture
