#include "ui/common/request_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace ui {

namespace {

// The "(keep)" entry carries no value: it chooses nothing, as no selection does.
std::optional<int> Chosen(const QComboBox* list) {
    if (list == nullptr || list->currentIndex() < 0 || !list->currentData().isValid()) return std::nullopt;
    return list->currentData().toInt();
}

std::string TextOf(const QLineEdit* box) { return box ? box->text().toStdString() : std::string(); }

}  // namespace

edit::EditorValues RequestFrom(const RequestControls& controls) {
    edit::EditorValues request;
    request.txtProductID = TextOf(controls.txtProductID);
    request.txtFamiliGroup = TextOf(controls.txtFamiliGroup);
    request.txtDrawOrder = TextOf(controls.txtDrawOrder);
    request.cboActualizar = Chosen(controls.cboActualizar);
    for (std::size_t k = 0; k < std::size_t(jnx::device::kMaxLevels); ++k) {
        request.cboNivel[k] = Chosen(controls.cboNivel[k]);
        request.chkSplitOPriority[k] = controls.chkSplitOPriority[k] && controls.chkSplitOPriority[k]->isChecked();
        request.txtNivel[k] = TextOf(controls.txtNivel[k]);
    }
    return request;
}

}  // namespace ui
