// Beside each level, the zooms at which the device draws it. They follow the level lists
// and priority boxes as they change, so the user sees the effect before saving; so does
// the map view, drawing the level the device would show, and the device line, judging
// the tables a save would write.
#include <QLabel>
#include <algorithm>
#include <limits>

#include "check/device_check.h"
#include "jnx/product_id_copy.h"
#include "settings/scale_model.h"
#include "ui/common/device_check_line.h"
#include "ui/common/device_profile_box.h"
#include "ui/common/error_message.h"
#include "ui/editor/editor_window.h"
#include "ui/editor/map_view.h"

namespace ui {

QString EditorWindow::RangeText(const settings::LevelRange& range) const {
    const auto name = [this](int row) {
        return QString::fromStdString(tables_.ZoomTable[static_cast<std::size_t>(row)].Name);
    };
    if (range.Shown() && range.coarsestRow == range.finestRow) return tr("shown at %1 only").arg(name(range.finestRow));
    if (range.Shown()) return tr("shown from %1 to %2").arg(name(range.coarsestRow), name(range.finestRow));
    if (range.coveredBy >= 0) return tr("never shown: level %1 covers it").arg(range.coveredBy + 1);
    return tr("never shown: finer than %1").arg(tables_.ZoomTable.empty() ? QString() : name(0));
}

std::vector<std::int32_t> EditorWindow::ScalesNow() const {
    // Levels past the panel's keep their stored scales and still hide or uncover others.
    edit::EditRequest request;
    platform::Error ignored;  // the levels are read whatever other box holds no value
    Request(request, ignored);
    std::vector<std::int32_t> scales;
    for (std::size_t i = 0; i < doc_.Levels.size(); ++i)
        scales.push_back(edit::RequestedScale(request, doc_, i).value_or(std::numeric_limits<std::int32_t>::min()));
    return scales;
}

void EditorWindow::ShowRanges() {
    const int levels = doc_.FileName.empty() ? 0 : ShownLevelCount();
    for (int k = levels; k < jnx::device::kMaxLevels; ++k) lblShown_[k]->clear();
    if (levels == 0) return;
    const std::vector<std::int32_t> scales = ScalesNow();
    mapView_->SetLevelScales(scales);
    const std::vector<settings::LevelRange> ranges =
        settings::LevelRanges(tables_.ZoomTable, scales, deviceProfile_->Profile().factor);
    for (int k = 0; k < levels; ++k) lblShown_[k]->setText(RangeText(ranges[static_cast<std::size_t>(k)]));
}

void EditorWindow::ShowDeviceCheck() {
    if (doc_.FileName.empty()) return;
    edit::EditRequest request;
    edit::ResolvedEdit resolved;
    platform::Error error;
    if (!Request(request, error) ||
        !edit::ResolveEdit(request, doc_, doc_.FileName, WriterSettingsNow(), edit::Purpose::Save, resolved, error)) {
        // Nothing a save would take: unedited, the map is judged as it lies on disk.
        if (HasUnsavedEdits())
            deviceCheck_->ShowUnjudged(ErrorMessage(error));
        else
            deviceCheck_->Show(loadFindings_);
        return;
    }
    // The tables as the save would write them; no tile is copied, nor read again: the
    // edits move none, so the load's tile findings still hold.
    const jnx::WriteValues& values = resolved.values;
    jnx::JnxDocument edited;
    edited.Header = doc_.Header;
    edited.Header.Version = resolved.version;
    edited.Header.ProductId = values.productId;
    edited.Header.DrawOrder = values.drawOrder;
    edited.MapInfo = doc_.MapInfo;
    edited.MapInfo.GroupName = values.groupName;
    edited.MapInfo.ReservedBytes =
        jnx::ReservedBytesFor(doc_.MapInfo.ReservedBytes, doc_.Header.ProductId, values.productId);
    edited.Levels = doc_.Levels;
    for (std::size_t i = 0; i < edited.Levels.size() && i < values.scales.size(); ++i)
        edited.Levels[i].Scale = values.scales[i];
    edited.LevelInfos = doc_.LevelInfos;
    for (std::size_t i = 0; i < edited.LevelInfos.size() && i < values.zooms.size(); ++i)
        edited.LevelInfos[i].Zoom = values.zooms[i];
    edited.FileLength = doc_.FileLength;
    edited.Tiles = doc_.Tiles;  // the edited scales are judged against the tiles' imagery
    std::vector<check::Finding> findings =
        check::CheckStructure(edited, &tables_.ZoomTable, deviceProfile_->Profile().factor);
    // What only the tiles' own bytes tell comes from the load, once.
    for (const check::Finding& loaded : loadFindings_) {
        const auto same = [&](const check::Finding& f) {
            return f.code == loaded.code && f.level == loaded.level && f.tile == loaded.tile;
        };
        if (loaded.tile > 0 && std::none_of(findings.begin(), findings.end(), same)) findings.push_back(loaded);
    }
    deviceCheck_->Show(findings);
}

void EditorWindow::ProfileChanged() {
    mapView_->SetDeviceProfile(deviceProfile_->Profile());
    if (doc_.FileName.empty()) return;
    CheckLoaded();  // the scales are judged against the profile's thresholds
    ShowRanges();
    ShowDeviceCheck();
}

// Room for the longest text up front, so the window does not change width as the user picks.
void EditorWindow::SizeRangeLabels() {
    QString longest;
    for (const settings::ZoomLevelEntry& row : tables_.ZoomTable)
        if (row.Name.size() > static_cast<std::size_t>(longest.size())) longest = QString::fromStdString(row.Name);
    const QString samples[] = {tr("shown from %1 to %2").arg(longest, longest),
                               tr("never shown: level %1 covers it").arg(jnx::device::kMaxLevels),
                               tr("never shown: finer than %1").arg(longest)};
    int width = 0;
    for (const QString& sample : samples) width = std::max(width, lblShown_[0]->fontMetrics().horizontalAdvance(sample));
    for (QLabel* shown : lblShown_) shown->setMinimumWidth(width);
}

}  // namespace ui
