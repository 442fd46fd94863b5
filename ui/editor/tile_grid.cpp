#include "ui/editor/tile_grid.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace ui {

namespace {

// About four tiles a bucket for a level of regular tiles.
constexpr double kTilesPerBucket = 4;
constexpr int kMaxSide = 1024;
constexpr int kMaxBucketsPerTile = 64;

bool Meets(const GeoBox& a, const GeoBox& b) {
    return a.west < b.east && b.west < a.east && a.south < b.north && b.south < a.north;
}

}  // namespace

int TileGrid::Column(double lon) const {
    return std::clamp(static_cast<int>(std::floor((lon - bounds_.west) / cellWide_)), 0, columns_ - 1);
}

int TileGrid::Row(double lat) const {
    return std::clamp(static_cast<int>(std::floor((bounds_.north - lat) / cellHigh_)), 0, rows_ - 1);
}

void TileGrid::Build(std::vector<GeoBox> tileBoxes) {
    boxes_ = std::move(tileBoxes);
    const std::vector<GeoBox>& boxes = boxes_;
    bounds_ = {};
    for (const GeoBox& box : boxes) bounds_ = Joined(bounds_, box);
    seen_.assign(boxes.size(), 0);
    query_ = 0;
    starts_.clear();
    items_.clear();
    large_.clear();
    if (bounds_.Empty()) {
        columns_ = rows_ = 0;
        return;
    }
    const double side = std::sqrt(static_cast<double>(boxes.size()) / kTilesPerBucket);
    columns_ = rows_ = std::clamp(static_cast<int>(std::ceil(side)), 1, kMaxSide);
    cellWide_ = (bounds_.east - bounds_.west) / columns_;
    cellHigh_ = (bounds_.north - bounds_.south) / rows_;

    // Two passes: count per bucket, then fill, so the buckets live in one array.
    std::vector<std::uint32_t> counts(static_cast<std::size_t>(columns_) * rows_ + 1, 0);
    const auto visit = [&](auto&& each) {
        for (std::uint32_t i = 0; i < boxes.size(); ++i) {
            const GeoBox& box = boxes[i];
            if (box.Empty()) continue;
            const int c0 = Column(box.west), c1 = Column(box.east), r0 = Row(box.north), r1 = Row(box.south);
            if ((c1 - c0 + 1) * (r1 - r0 + 1) > kMaxBucketsPerTile) {
                each(i, -1);
                continue;
            }
            for (int r = r0; r <= r1; ++r)
                for (int c = c0; c <= c1; ++c) each(i, r * columns_ + c);
        }
    };
    visit([&](std::uint32_t, int bucket) {
        if (bucket >= 0) ++counts[static_cast<std::size_t>(bucket) + 1];
    });
    for (std::size_t b = 1; b < counts.size(); ++b) counts[b] += counts[b - 1];
    starts_ = counts;
    items_.resize(starts_.back());
    visit([&](std::uint32_t i, int bucket) {
        if (bucket < 0)
            large_.push_back(i);
        else
            items_[counts[static_cast<std::size_t>(bucket)]++] = i;
    });
}

void TileGrid::Query(const GeoBox& box, std::vector<std::uint32_t>& out) const {
    out.clear();
    if (columns_ == 0 || !Meets(box, bounds_)) return;
    if (++query_ == 0) {
        std::fill(seen_.begin(), seen_.end(), 0);
        query_ = 1;
    }
    const auto take = [&](std::uint32_t i) {
        if (seen_[i] == query_ || !Meets(boxes_[i], box)) return;
        seen_[i] = query_;
        out.push_back(i);
    };
    const int c0 = Column(box.west), c1 = Column(box.east), r0 = Row(box.north), r1 = Row(box.south);
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c) {
            const std::size_t b = static_cast<std::size_t>(r) * columns_ + c;
            for (std::uint32_t k = starts_[b]; k < starts_[b + 1]; ++k) take(items_[k]);
        }
    for (std::uint32_t i : large_) take(i);
    std::sort(out.begin(), out.end());
}

int TileGrid::At(double lat, double lon) const {
    if (columns_ == 0 || lat <= bounds_.south || lat >= bounds_.north || lon <= bounds_.west || lon >= bounds_.east)
        return -1;
    const auto holds = [&](std::uint32_t i) {
        const GeoBox& b = boxes_[i];
        return lat > b.south && lat <= b.north && lon >= b.west && lon < b.east;
    };
    int found = -1;
    const std::size_t bucket = static_cast<std::size_t>(Row(lat)) * columns_ + Column(lon);
    for (std::uint32_t k = starts_[bucket]; k < starts_[bucket + 1]; ++k)
        if (holds(items_[k])) found = std::max(found, static_cast<int>(items_[k]));
    for (std::uint32_t i : large_)
        if (holds(i)) found = std::max(found, static_cast<int>(i));
    return found;
}

}  // namespace ui
