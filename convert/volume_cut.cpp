#include "convert/volume_cut.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

namespace convert {

namespace {

std::uint64_t CellOf(std::uint32_t x, std::uint32_t y) { return std::uint64_t(x) << 32 | y; }

// The coarser tiles over each finest tile, found by position.
class CoarserLevels {
public:
    CoarserLevels(const std::vector<CutTile>& tiles, const std::vector<std::int32_t>& levelSizes) {
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

    template <typename Visit>
    void ForEachOver(const TileKey& fine, const Visit& visit) const {
        for (std::size_t k = 0; k < levels_.size(); ++k) {
            const int shift = fine.zoom - zooms_[k];
            if (shift <= 0) continue;
            const auto found = levels_[k].find(CellOf(fine.x >> shift, fine.y >> shift));
            if (found != levels_[k].end()) visit(found->second);
        }
    }

private:
    std::vector<std::unordered_map<std::uint64_t, std::uint32_t>> levels_;
    std::vector<int> zooms_;
};

// The volume being filled, and what a candidate run of finest tiles would add to it.
class Filling {
public:
    Filling(const std::vector<CutTile>& tiles, const CoarserLevels& coarser, std::int64_t fixedBytes,
            const VolumeLimits& limits)
        : tiles_(tiles), coarser_(coarser), fixedBytes_(fixedBytes), limits_(limits) { Clear(); }

    bool Empty() const { return members_.empty(); }

    // Takes the run if the volume can hold it, or an empty volume any single tile.
    bool TryAdd(const std::vector<std::uint32_t>& run) {
        std::vector<std::uint32_t> added;
        std::unordered_set<std::uint32_t> seen;
        std::int64_t bytes = bytes_;
        for (std::uint32_t fine : run) {
            bytes += tiles_[fine].bytes;
            coarser_.ForEachOver(tiles_[fine].key, [&](std::uint32_t over) {
                if (coarserTaken_.count(over) || !seen.insert(over).second) return;
                added.push_back(over);
                bytes += tiles_[over].bytes;
            });
        }
        const bool fits = fineCount_ + std::int64_t(run.size()) <= limits_.tilesPerLevel && bytes <= limits_.fileLength;
        if (!fits && !(Empty() && run.size() == 1)) return false;
        members_.insert(members_.end(), run.begin(), run.end());
        members_.insert(members_.end(), added.begin(), added.end());
        coarserTaken_.insert(added.begin(), added.end());
        fineCount_ += std::int64_t(run.size());
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
    void Clear() {
        members_.clear();
        coarserTaken_.clear();
        fineCount_ = 0;
        bytes_ = fixedBytes_;
    }

    const std::vector<CutTile>& tiles_;
    const CoarserLevels& coarser_;
    std::int64_t fixedBytes_;
    VolumeLimits limits_;
    std::vector<std::uint32_t> members_;
    std::unordered_set<std::uint32_t> coarserTaken_;
    std::int64_t fineCount_ = 0;
    std::int64_t bytes_ = 0;
};

}  // namespace

std::vector<std::vector<std::uint32_t>> CutIntoVolumes(const std::vector<CutTile>& tiles,
                                                       const std::vector<std::int32_t>& levelSizes,
                                                       std::int64_t fixedBytes, const VolumeLimits& limits) {
    std::vector<std::vector<std::uint32_t>> volumes;
    if (levelSizes.empty()) return volumes;
    const CoarserLevels coarser(tiles, levelSizes);
    const std::size_t finestStart = tiles.size() - std::size_t(levelSizes.back());
    std::vector<std::uint32_t> finest(std::size_t(levelSizes.back()));
    std::iota(finest.begin(), finest.end(), std::uint32_t(finestStart));
    std::sort(finest.begin(), finest.end(), [&](std::uint32_t a, std::uint32_t b) {
        return std::pair(tiles[a].key.y, tiles[a].key.x) < std::pair(tiles[b].key.y, tiles[b].key.x);
    });

    Filling volume(tiles, coarser, fixedBytes, limits);
    std::vector<std::uint32_t> row;
    for (std::size_t from = 0; from < finest.size();) {
        std::size_t to = from;
        while (to < finest.size() && tiles[finest[to]].key.y == tiles[finest[from]].key.y) ++to;
        row.assign(finest.begin() + std::ptrdiff_t(from), finest.begin() + std::ptrdiff_t(to));
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
