// The map view beside the editor's level panel: the loaded map drawn one level at a time,
// either a level the user picks or, "as the device shows it", the level the device would
// draw at the zoom row the slider holds, under the scales the level lists hold now.
//
// A zoom row's StandardScale is read as millimetres of the equator per screen pixel, the
// unit in which a level's scale matches the pixels of web-map tiles (1194 for tiles of
// about 1.19 m): at a level's own row its tiles show near their size in pixels. The wheel
// zooms freely and moves the slider to the row nearest the zoom it reached, so in that
// mode the level drawn always follows the slider.
#pragma once
#include <QWidget>
#include <cstdint>
#include <vector>

#include "jnx/document.h"
#include "settings/settings.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

namespace ui {

class MapCanvas;

class MapView : public QWidget {
    Q_OBJECT
public:
    explicit MapView(QWidget* parent = nullptr);

    void SetZoomTable(const std::vector<settings::ZoomLevelEntry>& table);
    void ShowMap(const jnx::JnxDocument& doc);
    void Clear();
    // The scale each level of the map would be saved with now; a level without one is
    // never drawn by the device.
    void SetLevelScales(const std::vector<std::int32_t>& scales);

    MapCanvas& Canvas() { return *canvas_; }
    // Pixels per degree of longitude for a zoom row's scale.
    static double PixelsPerDegreeForScale(std::int32_t scale);

protected:
    void changeEvent(QEvent* event) override;

private:
    void ApplyCaptions();
    void FillModes(int levels);
    void OnRowPicked(int row);
    void OnZoomChanged();
    void OnHovered(int level, int tile);
    QString NothingShownText(int row) const;
    void ShowDrawnLevel();

    std::vector<settings::ZoomLevelEntry> table_;
    std::vector<std::int32_t> scales_;
    MapCanvas* canvas_ = nullptr;
    QComboBox* mode_ = nullptr;
    QPushButton* fit_ = nullptr;
    QSlider* zoom_ = nullptr;
    QLabel* zoomName_ = nullptr;
    QLabel* tileFacts_ = nullptr;
};

}  // namespace ui
