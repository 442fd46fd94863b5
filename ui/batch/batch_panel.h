// The batch window's editing panel: the values every checked file receives. It offers
// them to the writers as jnx::EditorValues and to the batch commands as PanelValues.
// The controls are children of the widget given at construction; the window places them.
#pragma once
#include <QObject>
#include <array>

#include "edit/editor_values.h"
#include "settings/settings.h"
#include "batch/batch_commands.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace batchui {

class BatchPanel : public QObject, public jnx::EditorValues {
    Q_OBJECT
public:
    BatchPanel(const settings::SettingsTables& tables, int userLevel, QWidget* parent);

    // Empty boxes, no selection in any list, every level box cleared.
    void Reset();
    batch::PanelValues Values(bool replaceSource) const;

    // jnx::EditorValues
    std::string ProductIdText() const override;
    std::string FamilyGroupText() const override;
    std::optional<std::int32_t> LevelScaleChoice(int levelIndex) const override;
    bool LevelPriority(int levelIndex) const override;
    std::string LevelZoomText(int) const override { return std::string(); }
    bool IsEditorWindow() const override { return false; }

    // A family entry picked (as a click on cboFamily does).
    void PickFamily(int index);

    // Controls, by their names.
    QGroupBox* Frame1 = nullptr;
    std::array<QLabel*, 5> lblNivel{};
    std::array<QComboBox*, 5> cboNivel{};
    std::array<QCheckBox*, 5> chkSplitOPriority{};
    QLabel* lblProductID = nullptr;
    QLineEdit* txtProductID = nullptr;
    QLabel* lblFamily = nullptr;
    QLineEdit* txtFamiliGroup = nullptr;
    QComboBox* cboFamily = nullptr;
    QLabel* lblActualizar = nullptr;
    QComboBox* cboActualizar = nullptr;
    QLabel* lblDrawOrder = nullptr;
    QLineEdit* txtDrawOrder = nullptr;

private:
    void VersionPicked(int index);

    const settings::SettingsTables& tables_;
    bool presetMode_;
};

}  // namespace batchui
