#include "convert/volume_cut.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

namespace convert {

namespace {

using VisitOver = std::function<void(std::uint32_t coarser)>;

std::uint64_t CellOf(std::uint32_t x, std::uint32_t y) { return std::uint64_t(x) << 32 | y; }

std::int64_t Height(const JnxBounds& b) { return std::int64_t(b[0]) - b[2]; }
std::int64_t Width(const JnxBounds& b) { return std::int64_t(b[1]) - b[3]; }

bool Overlap(const JnxBounds& a, const JnxBounds& b) {
    return a[0] > b[2] && a[2] < b[0] && a[1] > b[3] && a[3] < b[1];
}

// The middle one of a level's tile heights or widths: what a "typical tile" is, so that a
// stray giant or sliver does not set the scale.
std::int64_t Typical(const std::vector<CutTile>& tiles, std::size_t from, std::size_t to,
                     std::int64_t (*extent)(const JnxBounds&)) {
    std::vector<std::int64_t> sizes;
    sizes.reserve(to - from);
    for (std::size_t i = from; i < to; ++i) sizes.push_back(extent(tiles[i].bounds));
    if (sizes.empty()) return 0;
    std::nth_element(sizes.begin(), sizes.begin() + std::ptrdiff_t(sizes.size() / 2), sizes.end());
    return sizes[sizes.size() / 2];
}

class CoarserLookup {
public:
    virtual ~CoarserLookup() = default;
    virtual void ForEachOver(std::uint32_t fine, const VisitOver& visit) const = 0;
};

// On the web-map grid the tile over a finest tile is found by position.
class ParentTiles : public CoarserLookup {
public:
    ParentTiles(const std::vector<CutTile>& tiles, const std::vector<std::int32_t>& levelSizes) : tiles_(tiles) {
        std::size_t start = 0;
        for (std::size_t k = 0; k + 1 < levelSizes.size(); ++k) {
            auto& cells = levels_.emplace_back();
            cells.reserve(std::size_t(levelSizes[k]));
            for (std::size_t i = start; i < start + std::size_t(levelSizes[k]); ++i)
                cells.emplace(CellOf(tiles[i].key.x, tiles[i].key.y), std::uint32_t(i));
            zooms_.push_back(levelSizes[k] > 0 ? tiles[start].key.zoom : 0);
            start += std::size_t(levelSizes[k]);
        }
    }

    void ForEachOver(std::uint32_t fineIndex, const VisitOver& visit) const override {
        const TileKey& fine = tiles_[fineIndex].key;
        for (std::size_t k = 0; k < levels_.size(); ++k) {
            const int shift = fine.zoom - zooms_[k];
            if (shift <= 0) continue;
            const auto found = levels_[k].find(CellOf(fine.x >> shift, fine.y >> shift));
            if (found != levels_[k].end()) visit(found->second);
        }
    }

private:
    const std::vector<CutTile>& tiles_;
    std::vector<std::unordered_map<std::uint64_t, std::uint32_t>> levels_;
    std::vector<int> zooms_;
};

// Off the grid, each coarser level is bucketed in cells of its typical tile's size; a tile
// spanning many cells is kept apart and tried against every finest tile instead, so that
// one giant overlay cannot fill the buckets.
class OverlappingTiles : public CoarserLookup {
public:
    OverlappingTiles(const std::vector<CutTile>& tiles, const std::vector<std::int32_t>& levelSizes) : tiles_(tiles) {
        std::size_t start = 0;
        for (std::size_t k = 0; k + 1 < levelSizes.size(); ++k) {
            const std::size_t end = start + std::size_t(levelSizes[k]);
            Level& level = levels_.emplace_back();
            level.cellHeight = std::max<std::int64_t>(1, Typical(tiles, start, end, Height));
            level.cellWidth = std::max<std::int64_t>(1, Typical(tiles, start, end, Width));
            for (std::size_t i = start; i < end; ++i) {
                const Span span = level.SpanOf(tiles[i].bounds);
                if (span.Cells() > kMaxCellsPerTile) {
                    level.wide.push_back(std::uint32_t(i));
                    continue;
                }
                for (std::int64_t r = span.rows[0]; r <= span.rows[1]; ++r)
                    for (std::int64_t c = span.columns[0]; c <= span.columns[1]; ++c)
                        level.cells[CellOf(std::uint32_t(c), std::uint32_t(r))].push_back(std::uint32_t(i));
            }
            start = end;
        }
    }

    void ForEachOver(std::uint32_t fine, const VisitOver& visit) const override {
        const JnxBounds& bounds = tiles_[fine].bounds;
        std::vector<std::uint32_t> over;
        for (const Level& level : levels_) {
            over.clear();
            const Span span = level.SpanOf(bounds);
            for (std::int64_t r = span.rows[0]; r <= span.rows[1]; ++r)
                for (std::int64_t c = span.columns[0]; c <= span.columns[1]; ++c)
                    if (const auto found = level.cells.find(CellOf(std::uint32_t(c), std::uint32_t(r)));
                        found != level.cells.end())
                        over.insert(over.end(), found->second.begin(), found->second.end());
            over.insert(over.end(), level.wide.begin(), level.wide.end());
            std::sort(over.begin(), over.end());
            over.erase(std::unique(over.begin(), over.end()), over.end());
            for (std::uint32_t i : over)
                if (Overlap(tiles_[i].bounds, bounds)) visit(i);
        }
    }

private:
    static constexpr std::int64_t kMaxCellsPerTile = 64;

    struct Span {
        std::int64_t rows[2];
        std::int64_t columns[2];
        std::int64_t Cells() const { return (rows[1] - rows[0] + 1) * (columns[1] - columns[0] + 1); }
    };

    struct Level {
        std::int64_t cellHeight = 1;
        std::int64_t cellWidth = 1;
        std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> cells;
        std::vector<std::uint32_t> wide;

        // Edges shifted to count from 0, so cells number as unsigned; a tile's far edges
        // belong to its neighbours.
        Span SpanOf(const JnxBounds& b) const {
            const auto at = [](std::int32_t edge) { return std::int64_t(edge) + (std::int64_t(1) << 31); };
            return {{at(b[2]) / cellHeight, std::max(at(b[2]), at(b[0]) - 1) / cellHeight},
                    {at(b[3]) / cellWidth, std::max(at(b[3]), at(b[1]) - 1) / cellWidth}};
        }
    };

    const std::vector<CutTile>& tiles_;
    std::vector<Level> levels_;
};

// The finest tiles in the order they are cut, and where each row ends in it.
struct Rows {
    std::vector<std::uint32_t> order;
    std::vector<std::size_t> ends;
};

Rows GridRows(const std::vector<CutTile>& tiles, std::vector<std::uint32_t> finest) {
    std::sort(finest.begin(), finest.end(), [&](std::uint32_t a, std::uint32_t b) {
        return std::pair(tiles[a].key.y, tiles[a].key.x) < std::pair(tiles[b].key.y, tiles[b].key.x);
    });
    Rows rows{std::move(finest), {}};
    for (std::size_t i = 1; i <= rows.order.size(); ++i)
        if (i == rows.order.size() || tiles[rows.order[i]].key.y != tiles[rows.order[i - 1]].key.y)
            rows.ends.push_back(i);
    return rows;
}

// Overlays from other tools rarely share their north edges to the unit, yet a row must not
// swallow the next one down, which lies a whole tile lower.
Rows FreeRows(const std::vector<CutTile>& tiles, std::vector<std::uint32_t> finest) {
    const std::int64_t tolerance =
        finest.empty() ? 0 : Typical(tiles, finest.front(), finest.back() + std::size_t(1), Height) / 10;
    std::sort(finest.begin(), finest.end(), [&](std::uint32_t a, std::uint32_t b) {
        return std::pair(-std::int64_t(tiles[a].bounds[0]), tiles[a].bounds[3]) <
               std::pair(-std::int64_t(tiles[b].bounds[0]), tiles[b].bounds[3]);
    });
    Rows rows{std::move(finest), {}};
    for (std::size_t from = 0; from < rows.order.size();) {
        const std::int64_t north = tiles[rows.order[from]].bounds[0];
        std::size_t to = from + 1;
        while (to < rows.order.size() && north - tiles[rows.order[to]].bounds[0] <= tolerance) ++to;
        std::sort(rows.order.begin() + std::ptrdiff_t(from), rows.order.begin() + std::ptrdiff_t(to),
                  [&](std::uint32_t a, std::uint32_t b) { return tiles[a].bounds[3] < tiles[b].bounds[3]; });
        rows.ends.push_back(to);
        from = to;
    }
    return rows;
}

// The volume being filled, and what a candidate run of finest tiles would add to it.
class Filling {
public:
    Filling(const std::vector<CutTile>& tiles, const std::vector<std::int32_t>& levelSizes,
            const CoarserLookup& coarser, std::int64_t fixedBytes, const VolumeLimits& limits)
        : tiles_(tiles), coarser_(coarser), fixedBytes_(fixedBytes), limits_(limits) {
        std::uint32_t end = 0;
        for (std::int32_t size : levelSizes) levelEnds_.push_back(end += std::uint32_t(size));
        Clear();
    }

    bool Empty() const { return members_.empty(); }

    // Takes the run if the volume can hold it, or an empty volume any single tile.
    bool TryAdd(const std::vector<std::uint32_t>& run) {
        std::vector<std::uint32_t> added;
        std::unordered_set<std::uint32_t> seen;
        std::int64_t bytes = bytes_;
        std::vector<std::int64_t> counts = counts_;
        counts.back() += std::int64_t(run.size());
        for (std::uint32_t fine : run) {
            bytes += tiles_[fine].bytes;
            coarser_.ForEachOver(fine, [&](std::uint32_t over) {
                if (coarserTaken_.count(over) || !seen.insert(over).second) return;
                added.push_back(over);
                bytes += tiles_[over].bytes;
                ++counts[LevelOf(over)];
            });
        }
        const bool fits = bytes <= limits_.fileLength &&
                          std::all_of(counts.begin(), counts.end(),
                                      [&](std::int64_t count) { return count <= limits_.tilesPerLevel; });
        if (!fits && !(Empty() && run.size() == 1)) return false;
        members_.insert(members_.end(), run.begin(), run.end());
        members_.insert(members_.end(), added.begin(), added.end());
        coarserTaken_.insert(added.begin(), added.end());
        counts_ = std::move(counts);
        bytes_ = bytes;
        return true;
    }

    void CloseInto(std::vector<std::vector<std::uint32_t>>& volumes) {
        if (Empty()) return;
        std::sort(members_.begin(), members_.end());
        volumes.push_back(std::move(members_));
        Clear();
    }

private:
    std::size_t LevelOf(std::uint32_t tile) const {
        return std::size_t(std::upper_bound(levelEnds_.begin(), levelEnds_.end(), tile) - levelEnds_.begin());
    }

    void Clear() {
        members_.clear();
        coarserTaken_.clear();
        counts_.assign(levelEnds_.size(), 0);
        bytes_ = fixedBytes_;
    }

    const std::vector<CutTile>& tiles_;
    const CoarserLookup& coarser_;
    std::int64_t fixedBytes_;
    VolumeLimits limits_;
    std::vector<std::uint32_t> levelEnds_;
    std::vector<std::uint32_t> members_;
    std::unordered_set<std::uint32_t> coarserTaken_;
    std::vector<std::int64_t> counts_;  // per level, the finest last
    std::int64_t bytes_ = 0;
};

std::unique_ptr<CoarserLookup> LookupFor(TileLayout layout, const std::vector<CutTile>& tiles,
                                         const std::vector<std::int32_t>& levelSizes) {
    if (layout == TileLayout::WebGrid) return std::make_unique<ParentTiles>(tiles, levelSizes);
    return std::make_unique<OverlappingTiles>(tiles, levelSizes);
}

}  // namespace

std::vector<std::vector<std::uint32_t>> CutIntoVolumes(const std::vector<CutTile>& tiles,
                                                       const std::vector<std::int32_t>& levelSizes,
                                                       std::int64_t fixedBytes, const VolumeLimits& limits,
                                                       TileLayout layout) {
    std::vector<std::vector<std::uint32_t>> volumes;
    if (levelSizes.empty()) return volumes;
    const auto coarser = LookupFor(layout, tiles, levelSizes);
    std::vector<std::uint32_t> finest(std::size_t(levelSizes.back()));
    std::iota(finest.begin(), finest.end(), std::uint32_t(tiles.size() - finest.size()));
    const Rows rows = layout == TileLayout::WebGrid ? GridRows(tiles, std::move(finest)) : FreeRows(tiles, std::move(finest));

    Filling volume(tiles, levelSizes, *coarser, fixedBytes, limits);
    std::vector<std::uint32_t> row;
    std::size_t from = 0;
    for (std::size_t to : rows.ends) {
        row.assign(rows.order.begin() + std::ptrdiff_t(from), rows.order.begin() + std::ptrdiff_t(to));
        from = to;
        if (volume.TryAdd(row)) continue;
        volume.CloseInto(volumes);
        if (volume.TryAdd(row)) continue;
        // A row too long for one file: its pieces stay apart from the rows around them, so
        // that each volume still covers one block.
        for (std::uint32_t fine : row) {
            if (!volume.TryAdd({fine})) {
                volume.CloseInto(volumes);
                volume.TryAdd({fine});
            }
        }
        volume.CloseInto(volumes);
    }
    volume.CloseInto(volumes);
    return volumes;
}

}  // namespace convert
