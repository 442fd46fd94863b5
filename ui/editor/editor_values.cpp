// The editor window's edit request, read from its controls.
#include "ui/common/digit_box.h"
#include "ui/common/request_controls.h"
#include "ui/editor/editor_window.h"

namespace ui {

edit::EditorValues EditorWindow::Request() const {
    RequestControls controls;
    controls.txtProductID = txtProductID_;
    controls.txtFamiliGroup = txtFamiliGroup_;
    controls.cboActualizar = cboActualizar_;
    controls.txtDrawOrder = txtDrawOrder_;
    for (std::size_t k = 0; k < std::size_t(kShownLevels); ++k) {
        controls.cboNivel[k] = cboNivel_[k];
        controls.chkSplitOPriority[k] = chkSplitOPriority_[k];
        controls.txtNivel[k] = txtNivel_[k];
    }
    edit::EditorValues request = RequestFrom(controls);
    request.editorRules = true;
    return request;
}

}  // namespace ui
