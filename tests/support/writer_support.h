// What the tests of the writers share: fixture files put in a folder, the tiles a written
// file stores, folder snapshots, merge sources as a quick read fills them.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "compose/merge_plan.h"
#include "jnx/reader.h"
#include "support/edit_support.h"
#include "support/jnx_builder.h"

namespace platform {
// A failed check names the code, not its bytes.
inline void PrintTo(ErrorCode code, std::ostream* os) { *os << ErrorTemplate(code); }
}  // namespace platform

namespace fixture {

inline std::string Put(const TempDir& dir, const std::string& name, const JnxRecipe& recipe) {
    const std::string path = dir.file(name);
    WriteBytes(path, BuildJnx(recipe).bytes);
    return path;
}

// A fixture file written as MAP.jnx and read in full, as every writer's caller does first.
struct Loaded {
    TempDir dir;
    BuiltJnx built;
    std::string path;
    jnx::JnxDocument doc;
    explicit Loaded(const JnxRecipe& recipe) : built(BuildJnx(recipe)), path(dir.file("MAP.jnx")) {
        WriteBytes(path, built.bytes);
        doc = ReadFull(path);
    }
};

// A tile as the map shows it: where it lies and its image bytes, wherever they are stored.
// The bounds a map of these tiles has: north and east the largest, south and west the least.
struct JnxBoundsUnion {
    std::array<std::int32_t, 4> value{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    void Add(const std::array<std::int32_t, 4>& b) {
        for (std::size_t i = 0; i < 4; ++i) value[i] = i < 2 ? std::max(value[i], b[i]) : std::min(value[i], b[i]);
    }
};

struct StoredTile {
    std::array<std::int32_t, 4> bounds{};
    Bytes data;
    bool operator==(const StoredTile&) const = default;
};

inline void PrintTo(const StoredTile& t, std::ostream* os) {
    *os << "{" << t.bounds[0] << "," << t.bounds[1] << "," << t.bounds[2] << "," << t.bounds[3] << ": "
        << t.data.size() << " bytes}";
}

using LevelTiles = std::vector<std::vector<StoredTile>>;  // level by level

// The image bytes tile i (counted over all levels) stores.
inline Bytes StoredImage(const jnx::JnxDocument& doc, std::size_t i) {
    const Bytes file = ReadBytes(doc.FileName);
    const auto at = file.begin() + doc.Tiles[i].DataOffset;
    return Bytes(at, at + doc.Tiles[i].DataSize);
}

inline LevelTiles TilesIn(const std::string& path) {
    const jnx::JnxDocument doc = ReadFull(path);
    const Bytes file = ReadBytes(path);
    LevelTiles levels(doc.Levels.size());
    for (std::size_t k = 0; k < doc.Levels.size(); ++k) {
        const std::size_t first = doc.FirstTileOf(k);
        for (std::size_t t = first; t < first + std::size_t(doc.Levels[k].TileCount) && t < doc.Tiles.size(); ++t) {
            const jnx::JnxTile& tile = doc.Tiles[t];
            const auto at = file.begin() + tile.DataOffset;
            levels[k].push_back({tile.TileBounds, Bytes(at, at + tile.DataSize)});
        }
    }
    return levels;
}

// File after file.
inline LevelTiles TilesOf(const std::vector<JnxRecipe>& recipes) {
    LevelTiles levels;
    for (const auto& recipe : recipes)
        for (const auto& level : recipe.levels) {
            auto& tiles = levels.emplace_back();
            for (const auto& tile : level.tiles) tiles.push_back({tile.bounds, tile.data});
        }
    return levels;
}

// Every regular file below a folder by its relative path, hidden ones too, so that a
// temporary file left behind shows, and every folder ("sub/", no bytes), so that one a
// failed run made shows too. A missing folder holds nothing.
using Snapshot = std::map<std::string, Bytes>;

inline Snapshot TakeSnapshot(const std::string& folder) {
    Snapshot files;
    if (!std::filesystem::exists(folder)) return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[std::filesystem::relative(entry.path(), folder).string()] = ReadBytes(entry.path());
        else if (entry.is_directory() && !entry.is_symlink())
            files[std::filesystem::relative(entry.path(), folder).string() + "/"] = {};
    return files;
}

inline std::vector<std::string> Names(const Snapshot& files) {
    std::vector<std::string> names;
    for (const auto& entry : files) names.push_back(entry.first);
    return names;
}

// Merge sources as the command line fills them: a quick read of each file, one that
// cannot be read marked erroneous.
inline std::vector<compose::MergeSource> MergeSourcesOf(const std::vector<std::string>& paths) {
    std::vector<compose::MergeSource> sources;
    jnx::JnxDocument doc;
    for (const auto& path : paths) {
        compose::MergeSource& source = sources.emplace_back();
        source.path = path;
        std::int32_t tiles = 0;
        platform::Error error;
        source.erroneous = !jnx::ReadJnx(doc, path, tiles, error, jnx::ReadDepth::Quick);
        if (source.erroneous) continue;
        source.version = doc.Header.Version, source.levelCount = doc.Header.LevelCount, source.totalTiles = tiles;
        source.content = compose::MergeContentOf(doc);
    }
    return sources;
}

}  // namespace fixture
