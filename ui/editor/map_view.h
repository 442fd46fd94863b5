// The map view beside the editor's level panel: the loaded map drawn one level at a time,
// either a level the user picks or, "as the device shows it", the level the device would
// draw at the zoom row the slider holds, under the scales the level lists hold now.
//
// A zoom row of standard scale T shows T / 198.12 ground metres per screen pixel, as the
// device's screen does (settings/scale_model.h), whatever the device profile: a profile
// moves the rows where each level is drawn, not what a row shows. So at the first row
// where a level of its native scale is drawn, one of its pixels spans one to two screen
// pixels. The wheel zooms freely and moves the slider to the row nearest the zoom it
// reached, so in that mode the level drawn always follows the slider.
#pragma once
#include <QWidget>
#include <cstdint>
#include <vector>

#include "jnx/document.h"
#include "settings/scale_model.h"
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
    // The family whose thresholds decide the level drawn at each row; the level drawn
    // follows at once.
    void SetDeviceProfile(const settings::DeviceProfile& profile);
    void ShowMap(const jnx::JnxDocument& doc);
    void Clear();
    // The scale each level of the map would be saved with now; a level without one is
    // never drawn by the device.
    void SetLevelScales(const std::vector<std::int32_t>& scales);

    MapCanvas& Canvas() { return *canvas_; }
    // Screen pixels per degree of latitude at a zoom row of this standard scale.
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
    // The coarsest row where the device draws a level of the map; -1 when none.
    int CoarsestShownRow() const;

    std::vector<settings::ZoomLevelEntry> table_;
    std::vector<std::int32_t> scales_;
    settings::DeviceProfile profile_ = settings::DefaultDeviceProfile();
    MapCanvas* canvas_ = nullptr;
    QComboBox* mode_ = nullptr;
    QPushButton* fit_ = nullptr;
    QSlider* zoom_ = nullptr;
    QLabel* zoomName_ = nullptr;
    QLabel* profileName_ = nullptr;
    QLabel* tileFacts_ = nullptr;
};

}  // namespace ui
