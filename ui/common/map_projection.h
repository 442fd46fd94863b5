// A plain latitude/longitude view of a map: x grows east, y grows south. A degree of
// longitude is drawn cos(φ) as wide as a degree of latitude, φ the latitude the view is
// set for (the map's middle), so the map keeps its true shape there.
#pragma once
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <array>
#include <cstdint>

namespace ui {

// Degrees. A box with north < south is empty.
struct GeoBox {
    double north = 0, east = 0, south = 0, west = 0;
    bool Empty() const { return north <= south || east <= west; }
};

// JNX bounds (north, east, south, west in degrees × 2^31 / 180).
GeoBox BoxFromJnx(const std::array<std::int32_t, 4>& bounds);
// The smallest box holding both; an empty box adds nothing.
GeoBox Joined(const GeoBox& a, const GeoBox& b);

class MapProjection {
public:
    // Sets the view's size in pixels; the centre stays where it is.
    void SetViewSize(QSizeF size) { view_ = size; }
    QSizeF ViewSize() const { return view_; }

    // Centres box in the view, as large as fits with margin (a share of the view) around
    // it, and takes the box's middle latitude for the aspect.
    void Fit(const GeoBox& box, double margin = 0.04);

    QPointF ToView(double lat, double lon) const;
    QRectF ToView(const GeoBox& box) const;
    void FromView(QPointF pixel, double& lat, double& lon) const;
    // What the view shows now.
    GeoBox Visible() const;

    // Moves the map by a pointer drag of delta pixels.
    void Pan(QPointF delta);
    // Zooms by factor (> 1 closer) keeping the place under pixel where it is.
    void ZoomAround(QPointF pixel, double factor);

    // Pixels per degree of latitude; what zoom steps and the device zoom rows set.
    double PixelsPerDegree() const { return scale_; }
    void SetPixelsPerDegree(double scale);
    // The same measured along the parallel the view is set for: what a tile cut from a
    // web map, whose pixels span fixed degrees of longitude, is sized by.
    double PixelsPerDegreeOfLongitude() const { return scale_ * LonFactor(); }
    void SetPixelsPerDegreeOfLongitude(double scale) { SetPixelsPerDegree(scale / LonFactor()); }
    double AspectLatitude() const { return aspectLat_; }

private:
    double LonFactor() const;

    QSizeF view_{1, 1};
    double centreLat_ = 0, centreLon_ = 0;
    double scale_ = 1;      // pixels per degree of latitude
    double aspectLat_ = 0;  // degrees
};

}  // namespace ui
