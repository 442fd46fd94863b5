#include "ui/common/request_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
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

void ExplainSplitOrPriority(QCheckBox* box) {
    const auto explain = [box](bool ticked) {
        const auto tr = [](const char* text) { return QCoreApplication::translate("ui::SplitOrPriority", text); };
        box->setToolTip(tr("Split this level / Prioritise level") + QLatin1Char('\n') +
                        (ticked ? tr("Ticked: Save JNX marks the level as priority; Split JNX writes it as a map "
                                     "of its own.")
                                : tr("Not ticked: Save JNX clears the level's priority; Split JNX leaves it out.")));
    };
    explain(box->isChecked());
    QObject::connect(box, &QCheckBox::toggled, box, explain);
}

QString DrawOrderTip() {
    return QCoreApplication::translate("ui::SplitOrPriority",
                                       "Draw order of the map among the device's maps (version 4 only)");
}

}  // namespace ui
