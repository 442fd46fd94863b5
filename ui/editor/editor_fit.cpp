// Fit scales: each level's scale measured from its imagery, shown in the level's row list
// and range before the save writes it.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

#include "operations/save_map.h"
#include "settings/scale_model.h"
#include "ui/common/device_profile_box.h"
#include "ui/editor/editor_window.h"

namespace ui {

void EditorWindow::ApplyFittedScales(edit::EditRequest& request) const {
    // A fitted scale mostly falls between two rows: the list shows the row it falls in,
    // the request carries the exact value until the user picks another row.
    for (int k = 0; k < jnx::device::kMaxLevels; ++k) {
        const std::optional<FittedLevel>& fit = fitted_[static_cast<std::size_t>(k)];
        if (!fit || cboNivel_[k]->currentIndex() != fit->row || chkSplitOPriority_[k]->isChecked() != fit->priority)
            continue;
        edit::LevelRequest& level = request.levels[static_cast<std::size_t>(k)];
        level.scale = fit->scale;
        level.priority = false;
    }
}

void EditorWindow::OnFitScales() {
    if (doc_.FileName.empty() || running_) return;
    edit::EditRequest ask;
    ask.fitScalesFactor = deviceProfile_->Profile().factor;
    std::vector<int> unknown;
    const edit::EditRequest fitted = operations::FitScalesOf(doc_, doc_.FileName, ask, &unknown);
    fitted_ = {};
    for (int k = 0; k < ShownLevelCount(); ++k) {
        const std::optional<std::int32_t>& scale = fitted.levels[static_cast<std::size_t>(k)].scale;
        if (!scale) continue;
        PosicionaComboNiveles(k, *scale);
        fitted_[static_cast<std::size_t>(k)] =
            FittedLevel{*scale, cboNivel_[k]->currentIndex(), chkSplitOPriority_[k]->isChecked()};
    }
    // The lists' signals came before the fitted values were all in place.
    ShowRanges();
    ShowDeviceCheck();
    QString text = QString::fromStdString(doc_.FileName);
    for (const int level : unknown)
        text += QLatin1Char('\n') + tr("Level %1 keeps its scale: its resolution is unknown").arg(level);
    lblInfo_->setText(text);
}

}  // namespace ui
