// Finds the tiles of one level that meet a box among tens of thousands: the level's
// bounds cut into a grid of buckets, each listing the tiles that reach into it.
#pragma once
#include <cstdint>
#include <vector>

#include "ui/common/map_projection.h"

namespace ui {

class TileGrid {
public:
    // boxes[i] is tile i; empty boxes are never found.
    void Build(std::vector<GeoBox> boxes);
    // The tiles whose boxes meet box, ascending (the order they are drawn in).
    void Query(const GeoBox& box, std::vector<std::uint32_t>& out) const;
    // The last drawn tile holding the point, or -1.
    int At(double lat, double lon) const;

    const GeoBox& Bounds() const { return bounds_; }
    const GeoBox& Box(std::uint32_t tile) const { return boxes_[tile]; }
    std::size_t Size() const { return boxes_.size(); }

private:
    int Column(double lon) const;
    int Row(double lat) const;

    std::vector<GeoBox> boxes_;
    GeoBox bounds_;
    int columns_ = 0, rows_ = 0;
    double cellWide_ = 1, cellHigh_ = 1;
    std::vector<std::uint32_t> starts_;  // bucket b holds items_[starts_[b], starts_[b + 1])
    std::vector<std::uint32_t> items_;
    std::vector<std::uint32_t> large_;  // tiles that would fill too many buckets: always checked
    mutable std::vector<std::uint32_t> seen_;  // per tile, the query that last listed it
    mutable std::uint32_t query_ = 0;
};

}  // namespace ui
