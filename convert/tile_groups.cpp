#include "convert/tile_groups.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>

namespace convert {
namespace {

using platform::Error;
using platform::ErrorCode;

int Side(const std::array<std::uint8_t, 4>& aux, int at) {
    return aux[std::size_t(at)] | (aux[std::size_t(at) + 1] << 8);
}

// North, east, south, west.
std::int64_t North(const jnx::JnxTile& t) { return t.TileBounds[0]; }
std::int64_t East(const jnx::JnxTile& t) { return t.TileBounds[1]; }
std::int64_t South(const jnx::JnxTile& t) { return t.TileBounds[2]; }
std::int64_t West(const jnx::JnxTile& t) { return t.TileBounds[3]; }

// The level's tiles placed on a grid of columns and rows from their bounds:
// columns from the common tile width, rows from the distinct north edges (a web
// map's rows differ in height), a row left out of the map counted by the tiles'
// height.
bool GridOf(const jnx::JnxDocument& doc, std::size_t level, std::vector<std::pair<std::int64_t, std::int64_t>>& cells,
            Error& why) {
    const std::size_t first = doc.FirstTileOf(level);
    const auto count = std::size_t(doc.Levels[level].TileCount);
    const jnx::JnxTile& one = doc.Tiles[first];
    const std::int64_t width = East(one) - West(one);
    if (width <= 0 || North(one) - South(one) <= 0) {
        why = NotOnGrid(level, "its tiles have no extent");
        return false;
    }
    std::int64_t minWest = West(one);
    for (std::size_t i = first; i < first + count; ++i) {
        const jnx::JnxTile& t = doc.Tiles[i];
        if (t.TileAux != one.TileAux) {
            why = NotOnGrid(level, "its tiles differ in size");
            return false;
        }
        if (std::llabs((East(t) - West(t)) - width) > std::max<std::int64_t>(4, width / 1000) || North(t) <= South(t)) {
            why = NotOnGrid(level, "its tiles do not lie on a grid");
            return false;
        }
        minWest = std::min(minWest, West(t));
    }
    // Distinct north edges, from the north, each with the height of a tile below
    // it.
    std::map<std::int64_t, std::int64_t, std::greater<>> norths;
    for (std::size_t i = first; i < first + count; ++i)
        norths.emplace(North(doc.Tiles[i]), North(doc.Tiles[i]) - South(doc.Tiles[i]));
    std::map<std::int64_t, std::int64_t, std::greater<>> rowOf;
    std::int64_t row = 0, lastNorth = 0, lastHeight = 0;
    bool started = false;
    for (const auto& [north, height] : norths) {
        if (started) {
            if (lastNorth - north < lastHeight / 10) {
                rowOf[north] = row;  // the same row, a rounding apart
                continue;
            }
            row += std::max<std::int64_t>(1, std::llround(double(lastNorth - north) / double(lastHeight)));
        }
        rowOf[north] = row;
        lastNorth = north, lastHeight = height, started = true;
    }
    cells.clear();
    for (std::size_t i = first; i < first + count; ++i) {
        const jnx::JnxTile& t = doc.Tiles[i];
        const double column = double(West(t) - minWest) / double(width);
        const std::int64_t col = std::llround(column);
        if (std::abs(column - double(col)) > 0.1) {
            why = NotOnGrid(level, "its tiles do not lie on a grid");
            return false;
        }
        cells.emplace_back(rowOf[North(t)], col);
    }
    return true;
}

// Neighbours inside a group must meet edge to edge, or the joined image would
// move them.
bool Touch(std::int64_t a, std::int64_t b, std::int64_t span) {
    return std::llabs(a - b) <= std::max<std::int64_t>(4, span / 1000);
}

bool GroupsMeet(const jnx::JnxDocument& doc, const TileGroup& group) {
    auto at = [&](int c, int r) { return group.pieces[std::size_t(r * group.cols + c)]; };
    for (int r = 0; r < group.rows; ++r) {
        for (int c = 0; c < group.cols; ++c) {
            if (at(c, r) == kNoTile) continue;
            const jnx::JnxTile& t = doc.Tiles[std::size_t(at(c, r))];
            const std::int64_t w = East(t) - West(t), h = North(t) - South(t);
            if (c + 1 < group.cols && at(c + 1, r) != kNoTile) {
                const jnx::JnxTile& right = doc.Tiles[std::size_t(at(c + 1, r))];
                if (!Touch(East(t), West(right), w) || !Touch(North(t), North(right), h)) return false;
            }
            if (r + 1 < group.rows && at(c, r + 1) != kNoTile) {
                const jnx::JnxTile& below = doc.Tiles[std::size_t(at(c, r + 1))];
                if (!Touch(South(t), North(below), h) || !Touch(West(t), West(below), w)) return false;
            }
        }
    }
    return true;
}

}  // namespace

Error NotOnGrid(std::size_t level, const std::string& why) {
    return Error(ErrorCode::JpegCannotJoin).Level(std::int64_t(level) + 1).Detail(why);
}

bool GroupTiles(const jnx::JnxDocument& doc, std::size_t level, int factor, std::vector<TileGroup>& groups,
                Error& why) {
    std::vector<std::pair<std::int64_t, std::int64_t>> cells;
    if (!GridOf(doc, level, cells, why)) return false;
    const std::size_t first = doc.FirstTileOf(level);
    std::map<std::pair<std::int64_t, std::int64_t>, std::vector<std::size_t>> members;
    for (std::size_t k = 0; k < cells.size(); ++k)
        members[{cells[k].first / factor, cells[k].second / factor}].push_back(k);
    const jnx::JnxTile& one = doc.Tiles[first];
    const int width = Side(one.TileAux, 0), height = Side(one.TileAux, 2);
    groups.clear();
    for (const auto& [key, ks] : members) {
        std::int64_t c0 = factor, c1 = -1, r0 = factor, r1 = -1;
        for (std::size_t k : ks) {
            c0 = std::min(c0, cells[k].second % factor), c1 = std::max(c1, cells[k].second % factor);
            r0 = std::min(r0, cells[k].first % factor), r1 = std::max(r1, cells[k].first % factor);
        }
        TileGroup& group = groups.emplace_back();
        group.cols = int(c1 - c0 + 1), group.rows = int(r1 - r0 + 1);
        group.pieces.assign(std::size_t(group.cols * group.rows), kNoTile);
        jnx::JnxTile& entry = group.entry;
        entry.TileBounds = doc.Tiles[first + ks.front()].TileBounds;
        for (std::size_t k : ks) {
            auto& slot =
                group.pieces[std::size_t((cells[k].first % factor - r0) * group.cols + cells[k].second % factor - c0)];
            if (slot != kNoTile) {
                why = NotOnGrid(level, "two of its tiles lie at one place");
                return false;
            }
            slot = std::int64_t(first + k);
            const auto& b = doc.Tiles[first + k].TileBounds;
            entry.TileBounds[0] = std::max(entry.TileBounds[0], b[0]);
            entry.TileBounds[1] = std::max(entry.TileBounds[1], b[1]);
            entry.TileBounds[2] = std::min(entry.TileBounds[2], b[2]);
            entry.TileBounds[3] = std::min(entry.TileBounds[3], b[3]);
        }
        if (!GroupsMeet(doc, group)) {
            why = NotOnGrid(level, "its tiles do not meet edge to edge");
            return false;
        }
        const int joinedWidth = width * group.cols, joinedHeight = height * group.rows;
        if (joinedWidth > 65500 || joinedHeight > 65500) {
            why = NotOnGrid(level, "the joined tiles would be larger than a JPEG can be");
            return false;
        }
        entry.TileAux = {std::uint8_t(joinedWidth), std::uint8_t(joinedWidth >> 8), std::uint8_t(joinedHeight),
                         std::uint8_t(joinedHeight >> 8)};
    }
    return true;
}

}  // namespace convert
