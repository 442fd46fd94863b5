// The editor window's edit request, read from its controls.
#include "ui/common/digit_box.h"
#include "ui/common/request_controls.h"
#include "ui/editor/editor_window.h"

namespace ui {

namespace {

bool SameRequest(const edit::EditorValues& a, const edit::EditorValues& b) {
    return a.txtProductID == b.txtProductID && a.txtFamiliGroup == b.txtFamiliGroup &&
           a.txtDrawOrder == b.txtDrawOrder && a.cboActualizar == b.cboActualizar && a.cboNivel == b.cboNivel &&
           a.chkSplitOPriority == b.chkSplitOPriority && a.txtNivel == b.txtNivel;
}

}  // namespace

edit::EditorValues EditorWindow::Request() const {
    RequestControls controls;
    controls.txtProductID = txtProductID_;
    controls.txtFamiliGroup = txtFamiliGroup_;
    controls.cboActualizar = cboActualizar_;
    controls.txtDrawOrder = txtDrawOrder_;
    for (std::size_t k = 0; k < std::size_t(jnx::device::kMaxLevels); ++k) {
        controls.cboNivel[k] = cboNivel_[k];
        controls.chkSplitOPriority[k] = chkSplitOPriority_[k];
        controls.txtNivel[k] = txtNivel_[k];
    }
    edit::EditorValues request = RequestFrom(controls);
    request.editorRules = true;
    return request;
}

bool EditorWindow::HasUnsavedEdits() const { return !doc_.FileName.empty() && !SameRequest(Request(), shownRequest_); }

}  // namespace ui
