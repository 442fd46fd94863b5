// The editor window's edit request, read from its controls.
#include "ui/common/digit_box.h"
#include "ui/common/request_controls.h"
#include "ui/editor/editor_window.h"

namespace ui {

bool EditorWindow::Request(edit::EditRequest& request, platform::Error& error, edit::Purpose purpose) const {
    RequestControls controls;
    controls.productId = txtProductID_;
    controls.groupName = txtFamiliGroup_;
    controls.targetVersion = cboActualizar_;
    controls.drawOrder = txtDrawOrder_;
    const bool presets = userLevel_ == 2;
    for (std::size_t k = 0; k < std::size_t(jnx::device::kMaxLevels); ++k) {
        controls.scale[k] = cboNivel_[k];
        if (purpose != edit::Purpose::Split) controls.priority[k] = chkSplitOPriority_[k];
        // Only the group presets list a map's levels under zoom numbers of the user's.
        if (presets) controls.zoom[k] = txtNivel_[k];
    }
    const bool read = RequestFrom(controls, request, error);
    if (purpose == edit::Purpose::Save) ApplyFittedScales(request);
    if (!read) return false;
    for (int k = 0; presets && k < ShownLevelCount(); ++k) {
        if (!request.levels[std::size_t(k)].zoom)
            return platform::Fail(error, platform::Error(platform::ErrorCode::BadZoomNumber).Level(k + 1));
    }
    return true;
}

bool EditorWindow::HasUnsavedEdits() const {
    if (doc_.FileName.empty()) return false;
    edit::EditRequest now;
    platform::Error ignored;
    Request(now, ignored);
    return now != shownRequest_;
}

}  // namespace ui
