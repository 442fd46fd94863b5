// A small map of where the maps of the batch grid lie: one outline per map, fitted to
// their union and labelled with the file name, filled see-through so that the areas two
// maps share show darker. Before a merge it tells which maps cover the same ground.
#pragma once
#include <QFrame>
#include <QRectF>
#include <QString>
#include <vector>

#include "ui/common/map_projection.h"

namespace batchui {

struct CoverageMap {
    QString name;
    ui::GeoBox box;
    bool checked = false;  // drawn with a solid line; a map not checked gets a dashed one
    int colour = 0;        // picks the colour; kept per map, a map keeps its colour as others come and go
};

class CoveragePane : public QFrame {
    Q_OBJECT
public:
    explicit CoveragePane(QWidget* parent = nullptr);

    // The maps to draw, in the grid's order; a map with an empty box is passed over.
    void SetMaps(std::vector<CoverageMap> maps);

    // Where each drawn map's outline lies in the pane, in the order given (maps passed
    // over have none).
    std::vector<QRectF> OutlineRects() const;
    // The notice the pane shows instead of outlines; empty while it draws maps.
    QString Notice() const;

    QSize sizeHint() const override { return {260, 260}; }
    QSize minimumSizeHint() const override { return {120, 120}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Refit();
    QRectF Canvas() const;

    std::vector<CoverageMap> maps_;
    ui::MapProjection projection_;
};

}  // namespace batchui
