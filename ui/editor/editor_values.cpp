// The editor window as the writers see it: its edit values, read from its controls.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "ui/common/digit_box.h"
#include "ui/editor/editor_window.h"

namespace ui {

std::string EditorWindow::ProductIdText() const { return txtProductID_->text().toStdString(); }

std::string EditorWindow::FamilyGroupText() const { return txtFamiliGroup_->text().toStdString(); }

std::optional<std::int32_t> EditorWindow::LevelScaleChoice(int levelIndex) const {
    if (!HasLevelControls(levelIndex)) return std::nullopt;
    const QComboBox* cbo = cboNivel_[static_cast<std::size_t>(levelIndex)];
    if (cbo->currentIndex() < 0) return std::nullopt;
    return cbo->currentData().toInt();
}

bool EditorWindow::LevelPriority(int levelIndex) const {
    return HasLevelControls(levelIndex) && chkSplitOPriority_[static_cast<std::size_t>(levelIndex)]->isChecked();
}

std::string EditorWindow::LevelZoomText(int levelIndex) const {
    if (!HasLevelControls(levelIndex)) return {};
    return txtNivel_[static_cast<std::size_t>(levelIndex)]->text().toStdString();
}

bool EditorWindow::IsEditorWindow() const { return objectName() == QLatin1String("Form1"); }

}  // namespace ui
