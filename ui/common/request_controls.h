// The one reading of a window's edit controls into the edit request, for the editor and
// the batch panel alike.
#pragma once
#include <QString>
#include <array>

#include "edit/edit_request.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace ui {

// Null where a window has no such control (the batch panel has no zoom boxes; a split
// reads no priorities, since its boxes pick the levels instead).
struct RequestControls {
    QLineEdit* productId = nullptr;
    QLineEdit* groupName = nullptr;
    QComboBox* targetVersion = nullptr;
    QLineEdit* drawOrder = nullptr;
    std::array<QComboBox*, jnx::device::kMaxLevels> scale{};
    std::array<QCheckBox*, jnx::device::kMaxLevels> priority{};
    std::array<QLineEdit*, jnx::device::kMaxLevels> zoom{};
};

// What the controls hold now; a list without a selection chooses nothing. False, with the
// code of the first box whose text is no value; every other field is read all the same.
bool RequestFrom(const RequestControls& controls, edit::EditRequest& request, platform::Error& error);

// A level's box is both its priority (for a save) and its choice for a split; its tooltip
// says, as it is ticked or not, what each command will make of it.
void ExplainSplitOrPriority(QCheckBox* box);
// What the draw order is, for the "DrawOrder" caption both languages share.
QString DrawOrderTip();

}  // namespace ui
