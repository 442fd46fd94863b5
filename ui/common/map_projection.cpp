#include "ui/common/map_projection.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {
constexpr double kJnxUnitsPerDegree = 2147483648.0 / 180.0;
// Closer than this the numbers stop meaning anything; farther the whole earth is a dot.
constexpr double kMinScale = 1e-3, kMaxScale = 1e9;
}  // namespace

GeoBox BoxFromJnx(const std::array<std::int32_t, 4>& bounds) {
    return {bounds[0] / kJnxUnitsPerDegree, bounds[1] / kJnxUnitsPerDegree, bounds[2] / kJnxUnitsPerDegree,
            bounds[3] / kJnxUnitsPerDegree};
}

GeoBox Joined(const GeoBox& a, const GeoBox& b) {
    if (a.Empty()) return b;
    if (b.Empty()) return a;
    return {std::max(a.north, b.north), std::max(a.east, b.east), std::min(a.south, b.south),
            std::min(a.west, b.west)};
}

double MapProjection::LonFactor() const {
    // Near the poles a degree of longitude would vanish; keep it drawable.
    return std::max(0.01, std::cos(aspectLat_ * M_PI / 180.0));
}

void MapProjection::Fit(const GeoBox& box, double margin) {
    aspectLat_ = std::clamp((box.north + box.south) / 2, -89.0, 89.0);
    centreLat_ = (box.north + box.south) / 2;
    centreLon_ = (box.east + box.west) / 2;
    const double high = std::max(box.north - box.south, 1e-9);
    const double wide = std::max((box.east - box.west) * LonFactor(), 1e-9);
    const double room = std::max(0.0, 1.0 - 2 * margin);
    SetPixelsPerDegree(std::min(view_.width() * room / wide, view_.height() * room / high));
}

QPointF MapProjection::ToView(double lat, double lon) const {
    return {view_.width() / 2 + (lon - centreLon_) * LonFactor() * scale_,
            view_.height() / 2 - (lat - centreLat_) * scale_};
}

QRectF MapProjection::ToView(const GeoBox& box) const {
    return QRectF(ToView(box.north, box.west), ToView(box.south, box.east)).normalized();
}

void MapProjection::FromView(QPointF pixel, double& lat, double& lon) const {
    lat = centreLat_ - (pixel.y() - view_.height() / 2) / scale_;
    lon = centreLon_ + (pixel.x() - view_.width() / 2) / (LonFactor() * scale_);
}

GeoBox MapProjection::Visible() const {
    GeoBox box;
    FromView({0, 0}, box.north, box.west);
    FromView({view_.width(), view_.height()}, box.south, box.east);
    return box;
}

void MapProjection::Pan(QPointF delta) {
    centreLat_ += delta.y() / scale_;
    centreLon_ -= delta.x() / (LonFactor() * scale_);
}

void MapProjection::ZoomAround(QPointF pixel, double factor) {
    double lat = 0, lon = 0;
    FromView(pixel, lat, lon);
    SetPixelsPerDegree(scale_ * factor);
    // Put the place that was under the pointer back under it.
    const QPointF now = ToView(lat, lon);
    Pan(pixel - now);
}

void MapProjection::SetPixelsPerDegree(double scale) {
    if (!std::isfinite(scale)) return;
    scale_ = std::clamp(scale, kMinScale, kMaxScale);
}

}  // namespace ui
