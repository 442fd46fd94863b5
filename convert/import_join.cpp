#include "convert/import_join.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <numeric>

#include "check/jpeg_header.h"
#include "convert/jpeg_join.h"
#include "convert/ordered_work.h"
#include "platform/le.h"

namespace convert {
namespace {

using platform::Error;
using platform::ErrorCode;
using platform::Fail;

std::array<std::uint8_t, 4> Aux(std::int64_t width, std::int64_t height) {
    width = std::min<std::int64_t>(width, 0xFFFF), height = std::min<std::int64_t>(height, 0xFFFF);
    return {std::uint8_t(width), std::uint8_t(width >> 8), std::uint8_t(height), std::uint8_t(height >> 8)};
}

// A zoom's tiles, plan.tiles[first, end), in groups on the web grid: those in one cell
// (x / factor, y / factor), each cut to the box of the tiles it holds, so that the groups of
// every zoom nest in those of the coarser ones as the tiles do.
bool WebGroups(const ImportPlan& plan, const jnx::FrontPart& whole, std::size_t level, std::size_t first,
               std::size_t end, int factor, std::vector<TileGroup>& groups, Error& why) {
    const auto f = std::uint32_t(factor);
    const auto cell = [&](std::size_t i) { return std::pair(plan.tiles[i].key.y / f, plan.tiles[i].key.x / f); };
    std::vector<std::size_t> order(end - first);
    std::iota(order.begin(), order.end(), first);
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return cell(a) < cell(b); });
    for (std::size_t from = 0; from < order.size();) {
        std::size_t to = from + 1;
        while (to < order.size() && cell(order[to]) == cell(order[from])) ++to;
        std::uint32_t c0 = f, c1 = 0, r0 = f, r1 = 0;
        for (std::size_t k = from; k < to; ++k) {
            const TileKey& key = plan.tiles[order[k]].key;
            c0 = std::min(c0, key.x % f), c1 = std::max(c1, key.x % f);
            r0 = std::min(r0, key.y % f), r1 = std::max(r1, key.y % f);
        }
        TileGroup& group = groups.emplace_back();
        group.cols = int(c1 - c0 + 1), group.rows = int(r1 - r0 + 1);
        group.pieces.assign(std::size_t(group.cols * group.rows), kNoTile);
        group.entry = whole.tiles[order[from]];
        for (std::size_t k = from; k < to; ++k) {
            const TileKey& key = plan.tiles[order[k]].key;
            std::int64_t& slot = group.pieces[std::size_t(key.y % f - r0) * std::size_t(group.cols) + (key.x % f - c0)];
            if (slot != kNoTile) return Fail(why, NotOnGrid(level, "two of its tiles lie at one place"));
            slot = std::int64_t(order[k]);
            const JnxBounds& b = whole.tiles[order[k]].TileBounds;
            JnxBounds& u = group.entry.TileBounds;
            u = {std::max(u[0], b[0]), std::max(u[1], b[1]), std::min(u[2], b[2]), std::min(u[3], b[3])};
        }
        const auto& aux = group.entry.TileAux;
        group.entry.TileAux =
            Aux(std::int64_t(aux[0] | aux[1] << 8) * group.cols, std::int64_t(aux[2] | aux[3] << 8) * group.rows);
        from = to;
    }
    return true;
}

// Every level's tiles grouped, level by level, and how many groups each level has.
bool GroupAll(const ImportPlan& plan, const jnx::FrontPart& whole, int factor, bool onWebGrid,
              std::vector<TileGroup>& groups, std::vector<std::int32_t>& perLevel, Error& why) {
    groups.clear();
    perLevel.clear();
    jnx::JnxDocument grid;  // tiles off the web grid are placed on the grid their bounds make
    if (!onWebGrid) {
        for (std::int32_t count : plan.tilesPerZoom) grid.Levels.push_back({count, 0, 0});
        grid.Tiles = whole.tiles;
    }
    std::size_t first = 0;
    for (std::size_t k = 0; k < plan.tilesPerZoom.size(); ++k) {
        const std::size_t before = groups.size(), end = first + std::size_t(plan.tilesPerZoom[k]);
        if (onWebGrid) {
            if (!WebGroups(plan, whole, k, first, end, factor, groups, why)) return false;
        } else {
            std::vector<TileGroup> found;
            if (!GroupTiles(grid, k, factor, found, why)) return false;
            std::move(found.begin(), found.end(), std::back_inserter(groups));
        }
        perLevel.push_back(std::int32_t(groups.size() - before));
        first = end;
    }
    // What a group is reckoned to take until it is joined, to cut volumes by: its parts.
    for (TileGroup& group : groups) {
        std::int64_t parts = 0;
        for (std::int64_t piece : group.pieces)
            if (piece != kNoTile) parts += whole.tiles[std::size_t(piece)].DataSize;
        group.entry.DataSize = std::int32_t(std::min<std::int64_t>(parts, INT32_MAX));
    }
    return true;
}

bool Fits(const std::vector<std::int32_t>& perLevel, const VolumeLimits& limits) {
    return std::all_of(perLevel.begin(), perLevel.end(),
                       [&](std::int32_t count) { return count <= limits.tilesPerLevel; });
}

// The joiner numbers tiles by their place in plan.tiles, from 1; the user finds them by
// their place in the level, as the source gives them, and by the source's own names.
Error Named(Error error, const ImportPlan& plan, const TileSource& source, std::size_t level, std::size_t levelStart,
            const std::string& path) {
    const auto known = [&](std::int64_t n) { return n >= 1 && std::uint64_t(n) <= plan.tiles.size(); };
    const auto name = [&](std::int64_t n) { return source.Describe(plan.tiles[std::size_t(n - 1)].key); };
    const auto inLevel = [&](std::int64_t n) { return n - std::int64_t(levelStart); };
    const std::int64_t other = std::strtoll(error.other.c_str(), nullptr, 10);
    if (error.code == ErrorCode::JpegJoinMismatch && known(other) && known(error.value)) {
        error.detail += " (" + name(other) + " and " + name(error.value) + ")";
        error.Other(std::to_string(inLevel(other))).Value(inLevel(error.value));
    } else if (error.code == ErrorCode::JpegUnreadable && known(error.value)) {
        error.Detail(name(error.value) + ": " + error.detail).Value(inLevel(error.value));
    }
    return error.Level(std::int64_t(level) + 1).File(path);
}

// What a worker makes of one group.
struct MadeTile {
    std::vector<jnx::Bytes> parts;
    std::vector<std::uint8_t> image;
    bool reencoded = false;
};

}  // namespace

bool JoinRefused(const Error& error) {
    return error.code == ErrorCode::JpegCannotJoin || error.code == ErrorCode::JpegJoinMismatch ||
           error.code == ErrorCode::JpegUnreadable;
}

bool PlanJoin(const ImportPlan& plan, const jnx::FrontPart& whole, TileJoin join, const VolumeLimits& limits,
              const TileSource& source, JoinedMap& joined, Error& error) {
    joined = JoinedMap{};
    if (join == TileJoin::None || (join == TileJoin::Auto && Fits(plan.tilesPerZoom, limits))) return true;
    std::vector<TileGroup> groups;
    std::vector<std::int32_t> perLevel;
    int factor = int(join);
    if (join == TileJoin::Auto) {
        factor = 1;
        for (int f : {2, 4}) {
            std::vector<TileGroup> tried;
            std::vector<std::int32_t> counts;
            Error why;
            // Tiles that cannot be grouped so are taken as they are, cut into volumes.
            if (!GroupAll(plan, whole, f, source.OnWebGrid(), tried, counts, why)) break;
            factor = f, groups = std::move(tried), perLevel = std::move(counts);
            if (Fits(perLevel, limits)) break;
        }
        if (factor == 1) return true;
    } else if (!GroupAll(plan, whole, factor, source.OnWebGrid(), groups, perLevel, error)) {
        return false;
    }
    joined.factor = factor;
    joined.plan.zooms = plan.zooms;
    joined.plan.tilesPerZoom = perLevel;
    jnx::FrontPart& map = joined.whole;
    map.header = whole.header;
    map.mapInfo = whole.mapInfo;
    map.levels = whole.levels;
    map.levelCopyrights = whole.levelCopyrights;
    map.levelInfos = whole.levelInfos;
    for (std::size_t k = 0; k < map.levels.size(); ++k) map.levels[k].TileCount = perLevel[k];
    for (const TileGroup& group : groups) {
        const auto first =
            std::find_if(group.pieces.begin(), group.pieces.end(), [](std::int64_t p) { return p != kNoTile; });
        TileKey key = plan.tiles[std::size_t(*first)].key;
        key.x /= std::uint32_t(factor), key.y /= std::uint32_t(factor);
        joined.plan.tiles.push_back({key, 0, 0});
        map.tiles.push_back(group.entry);
    }
    joined.groups = std::move(groups);
    return true;
}

bool JoinSpooled(const platform::BinaryFile& spool, const std::vector<std::int64_t>& at, const ImportPlan& plan,
                 const TileSource& source, const std::string& sourcePath, const ImportOptions& options,
                 JoinedMap& joined, const PutTile& put, const ImportProgress& progress, Error& error) {
    std::vector<std::size_t> levelStarts{0}, groupEnds;
    for (std::int32_t count : plan.tilesPerZoom) levelStarts.push_back(levelStarts.back() + std::size_t(count));
    std::size_t groups = 0;
    for (std::int32_t count : joined.plan.tilesPerZoom) groupEnds.push_back(groups += std::size_t(count));
    std::vector<MadeTile> slots(SlotsFor(WorkerCount()));
    OrderedTasks tasks;
    tasks.count = std::int64_t(joined.groups.size());
    tasks.slots = slots.size();
    tasks.make = [&](std::int64_t item, std::size_t slot, Error& e) {
        const TileGroup& group = joined.groups[std::size_t(item)];
        MadeTile& made = slots[slot];
        made.parts.resize(group.pieces.size());
        made.reencoded = false;
        std::vector<JpegPiece> pieces(group.pieces.size());
        for (std::size_t k = 0; k < group.pieces.size(); ++k) {
            if (group.pieces[k] == kNoTile) continue;
            const auto i = std::size_t(group.pieces[k]);
            made.parts[k].resize(std::size_t(plan.tiles[i].size));
            if (!spool.ReadAt(at[i], made.parts[k].data(), made.parts[k].size(), e)) return false;
            pieces[k] = {made.parts[k].data(), made.parts[k].size(), std::int64_t(i) + 1};
        }
        if (JoinJpegTiles(pieces, group.cols, group.rows, options.fill, made.image, e)) return true;
        made.reencoded =
            e.code == ErrorCode::JpegJoinMismatch && options.reencodeQuality > 0 &&
            ReencodeJpegTiles(pieces, group.cols, group.rows, options.fill, options.reencodeQuality, made.image, e);
        const auto level =
            std::size_t(std::upper_bound(groupEnds.begin(), groupEnds.end(), std::size_t(item)) - groupEnds.begin());
        return made.reencoded || Fail(e, Named(e, plan, source, level, levelStarts[level], sourcePath));
    };
    tasks.take = [&](std::int64_t item, std::size_t slot, Error& e) {
        if ((item + 1) % 256 == 0 && !GoesOn(progress, "joining", item + 1, tasks.count))
            return Fail(e, Error(ErrorCode::Cancelled));
        const MadeTile& made = slots[slot];
        if (made.image.size() < 6 || made.image.size() > std::size_t(INT32_MAX))
            return Fail(e, Error(ErrorCode::FileTooLarge).Value(std::int64_t(made.image.size())));
        const check::JpegFrame frame = check::WalkToFrame(made.image.data() + 2, made.image.size() - 2);
        jnx::JnxTile& entry = joined.groups[std::size_t(item)].entry;
        entry.TileAux = Aux(frame.width, frame.height);
        entry.DataSize = std::int32_t(made.image.size() - 2);
        PlannedTile& tile = joined.plan.tiles[std::size_t(item)];
        tile.size = std::int32_t(made.image.size());
        tile.head = platform::LoadI32(made.image.data() + 2);
        joined.reencoded += made.reencoded ? 1 : 0;
        return put(std::size_t(item), made.image.data(), made.image.size(), e);
    };
    return RunInOrder(tasks, error);
}

}  // namespace convert
