// The drawing surface of the map view: one level's tiles at their places, the outline of
// each level's coverage and of the map's bounds. A drag pans, the wheel zooms around the
// pointer. Pictures come from the tile loader decoded at about the size they are drawn,
// and stay in a bounded cache; while zoomed out too far for pictures to tell anything,
// the tiles are drawn as filled boxes.
#pragma once
#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "jnx/document.h"
#include "ui/common/map_projection.h"
#include "ui/common/tile_cache.h"
#include "ui/editor/tile_grid.h"
#include "ui/editor/tile_loader.h"

namespace ui {

class MapCanvas : public QWidget {
    Q_OBJECT
public:
    enum class TileState { Unknown, Waiting, Shown, Broken };

    struct TileSource {
        std::int64_t offset = 0;
        std::int32_t size = 0;
        int width = 0, height = 0;  // as the tile's table says
    };
    struct Level {
        TileGrid grid;
        std::vector<TileSource> sources;
    };

    explicit MapCanvas(QWidget* parent = nullptr);
    QSize sizeHint() const override;

    // Takes what it draws from doc, and drops every picture of the map shown before.
    void ShowMap(const jnx::JnxDocument& doc);
    void Clear();
    // The level whose tiles are drawn (-1: none) and a note shown over the map instead.
    void SetDrawnLevel(int level, const QString& note);
    int DrawnLevel() const { return drawnLevel_; }
    const QString& Note() const { return note_; }
    const std::vector<Level>& Levels() const { return levels_; }

    void Fit();
    double PixelsPerDegreeOfLongitude() const { return projection_.PixelsPerDegreeOfLongitude(); }
    double PixelsPerDegree() const { return projection_.PixelsPerDegree(); }
    // Zooms about the view's middle.
    void SetPixelsPerDegreeOfLongitude(double scale);
    void SetPixelsPerDegree(double scale);
    // Where a box lies in the view now.
    QRectF ToView(const GeoBox& box) const { return projection_.ToView(box); }

    // Of the picture at the size the tile is drawn now.
    TileState StateOf(int level, int tile);
    TileCache& Cache() { return cache_; }
    const TileLoader& Loader() const { return loader_; }

signals:
    // By the wheel or a fit, not by SetPixelsPerDegreeOfLongitude.
    void ZoomChanged();
    // The tile under the pointer in the drawn level; -1 when none.
    void Hovered(int level, int tile);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // A tile's picture decoded at 1/2^step of its size, of the map shown now.
    std::uint64_t KeyOf(int level, std::uint32_t tile, int step) const;
    void OnDecoded(std::uint64_t key, const QImage& picture);
    // Pictures when few enough tiles are in view and large enough to see; else boxes.
    bool PicturesFit(const std::vector<std::uint32_t>& tiles) const;
    // Draws only the tiles the paint's region meets; asks for pictures only when it is the
    // whole view.
    void DrawPictures(class QPainter& painter, const std::vector<std::uint32_t>& tiles, const QRegion& region);
    // The tile's picture at another step while the one wanted is decoded; null when none.
    const QImage* StandIn(int level, std::uint32_t tile, int step);
    void DrawCoverage(QPainter& painter, const std::vector<std::uint32_t>& tiles);
    // The whole level as boxes into one raster, kept while only the view's place changes.
    void DrawWholeCoverage(QPainter& painter, const QRectF& whole);
    void FillBoxes(QImage& raster, QPointF origin, const std::vector<std::uint32_t>* tiles);
    void DrawOutlines(QPainter& painter);
    void ReportHover(QPoint pixel);

    MapProjection projection_;
    GeoBox mapBounds_;
    std::vector<Level> levels_;
    int drawnLevel_ = -1;
    QString note_;
    std::uint64_t generation_ = 0;
    TileCache cache_;
    TileLoader loader_;
    QTimer redraw_;
    QRegion arrived_;  // places of pictures come in since the last paint
    std::vector<std::uint32_t> inView_;
    QImage coverage_;
    struct {
        QImage raster;
        std::uint64_t generation = 0;
        int level = -1;
        double scale = 0;
    } wholeCoverage_;
    bool autoFit_ = false;  // the view was fitted and not moved since: a resize fits again
    bool dragging_ = false;
    QPoint dragFrom_;
    int hoveredLevel_ = -1, hoveredTile_ = -1;
};

}  // namespace ui
