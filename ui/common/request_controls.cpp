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

bool RequestFrom(const RequestControls& controls, edit::EditRequest& request, platform::Error& error) {
    request = {};
    request.targetVersion = Chosen(controls.targetVersion);
    edit::ParseGroupName(TextOf(controls.groupName), request);
    // Every box is read, so that a window comparing requests sees all that can be read.
    platform::Error first, bad;
    const auto note = [&](bool parsed) {
        if (!parsed && !first) first = bad;
    };
    note(edit::ParseProductId(TextOf(controls.productId), request, bad));
    note(edit::ParseDrawOrder(TextOf(controls.drawOrder), request, bad));
    for (std::size_t k = 0; k < std::size_t(jnx::device::kMaxLevels); ++k) {
        request.levels[k].scale = Chosen(controls.scale[k]);
        request.levels[k].priority = controls.priority[k] && controls.priority[k]->isChecked();
        note(edit::ParseZoomNumber(TextOf(controls.zoom[k]), k, request, bad));
    }
    return !first || platform::Fail(error, first);
}

}  // namespace ui
