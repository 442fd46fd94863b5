// A map of one level whose tiles cycle through a few pictures on a regular grid, written
// in large chunks so that making a map of 50 000 tiles takes seconds, not the bench's time.
#pragma once
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "jnx/codec.h"
#include "jnx/front_part.h"
#include "jnx/product_id_copy.h"
#include "platform/binary_file.h"

namespace bench {

struct GridMap {
    int tiles = 0;
    int columns = 1;           // rows follow; the last one may be short
    std::int32_t span = 1;     // a tile's side, in map units
    std::int32_t north = 0, west = 0;
};

// pictures: stored as a map holds them, without FF D8. Returns the bytes of the tiles.
inline std::int64_t WriteGridMap(const char* program, const std::string& path, const std::vector<jnx::Bytes>& pictures,
                                 const GridMap& grid) {
    const auto die = [&](const platform::Error& error) { Die(program, platform::ErrorText(error)); };
    jnx::FrontPart front;
    front.header.Version = 4;
    front.header.ProductId = 1;
    const int rows = (grid.tiles + grid.columns - 1) / grid.columns;
    front.header.Bounds = {grid.north, grid.west + grid.columns * grid.span, grid.north - rows * grid.span, grid.west};
    front.mapInfo.MapGuid = jnx::EncodeText(jnx::NewGuidText(), true);
    front.mapInfo.GroupName = jnx::EncodeText("Bench group", true);
    front.mapInfo.ReservedBytes = *jnx::ProductIdCopy(1);
    front.mapInfo.MapTitle = jnx::EncodeText("Bench map", true);
    front.levels.push_back({grid.tiles, 0, 1000});
    front.levelCopyrights.push_back(jnx::EncodeText("(c) Bench", true));
    front.levelInfos.push_back(
        {jnx::EncodeText("Level", true), jnx::EncodeText("Bench", true), jnx::EncodeText("(c) Bench", true), 1});
    std::int64_t sum = 0;
    for (int t = 0; t < grid.tiles; ++t) {
        const int col = t % grid.columns, row = t / grid.columns;
        jnx::JnxTile tile;
        tile.TileBounds = {grid.north - row * grid.span, grid.west + (col + 1) * grid.span,
                           grid.north - (row + 1) * grid.span, grid.west + col * grid.span};
        tile.TileAux = {0, 1, 0, 1};
        tile.DataSize = std::int32_t(pictures[std::size_t(t) % pictures.size()].size());
        sum += tile.DataSize;
        front.tiles.push_back(tile);
    }
    platform::Error error;
    jnx::Bytes chunk;
    if (!jnx::PlaceTilesBackToBack(front, error) || !jnx::BuildFrontPart(front, chunk, error)) die(error);
    platform::BinaryFile file;
    if (!file.Open(path, platform::BinaryFile::Mode::CreateTruncate, error)) die(error);
    std::int64_t pos = 0;
    for (std::size_t t = 0; t < front.tiles.size(); ++t) {
        const jnx::Bytes& image = pictures[t % pictures.size()];
        chunk.insert(chunk.end(), image.begin(), image.end());
        const bool last = t + 1 == front.tiles.size();
        if (last) chunk.insert(chunk.end(), std::begin(jnx::kTrailer), std::end(jnx::kTrailer));
        if (chunk.size() >= (std::size_t(4) << 20) || last) {
            if (!file.WriteAt(pos, chunk.data(), chunk.size(), error)) die(error);
            pos += std::int64_t(chunk.size());
            chunk.clear();
        }
    }
    return sum;
}

}  // namespace bench
