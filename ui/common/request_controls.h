// The one reading of a window's edit controls into the edit request, for the editor and
// the batch panel alike.
#pragma once
#include <array>

#include "edit/editor_values.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace ui {

struct RequestControls {
    QLineEdit* txtProductID = nullptr;
    QLineEdit* txtFamiliGroup = nullptr;
    QComboBox* cboActualizar = nullptr;
    QLineEdit* txtDrawOrder = nullptr;
    std::array<QComboBox*, jnx::device::kMaxLevels> cboNivel{};
    std::array<QCheckBox*, jnx::device::kMaxLevels> chkSplitOPriority{};
    std::array<QLineEdit*, jnx::device::kMaxLevels> txtNivel{};  // the editor's only; null elsewhere
};

// What the controls hold now; a list without a selection chooses nothing.
edit::EditorValues RequestFrom(const RequestControls& controls);

}  // namespace ui
