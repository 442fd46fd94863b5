// The batch window's editing panel: the values every checked file receives, offered as
// the edit request of the batch commands and the merge.
// The controls are children of the widget given at construction; the window places them.
#pragma once
#include <QObject>
#include <array>
#include <vector>

#include "edit/edit_request.h"
#include "settings/settings.h"
#include "batch/batch_commands.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace ui {
class DeviceProfileBox;
}

namespace batchui {

class BatchPanel : public QObject {
    Q_OBJECT
public:
    BatchPanel(const settings::Settings& settings, const settings::SettingsTables& tables, int userLevel,
               QWidget* parent);

    // Empty boxes, every list on "(keep)", every level box cleared, no fit (the device
    // profile is a setting and stays).
    void Reset();
    // The edit request every checked file receives; removeOld: a file written anew
    // replaces its source. False, with the code, when a box holds no value.
    bool Request(bool removeOld, edit::EditRequest& request, platform::Error& error) const;
    // A save's request: as Request, and with "Fit scales" ticked every level's scale fitted
    // to its imagery under the profile picked.
    bool SaveRequest(bool removeOld, edit::EditRequest& request, platform::Error& error) const;
    // A split's request: the level boxes pick the levels to write (1-based), so they give
    // no priorities.
    bool SplitRequest(edit::EditRequest& request, std::vector<int>& levels, platform::Error& error) const;

    // The family group `group` (its place in the settings' [Groups]) picked in cboFamily.
    void PickFamily(int group);

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
    ui::DeviceProfileBox* deviceProfile = nullptr;
    QCheckBox* chkFitScales = nullptr;

private:
    void VersionPicked(int index);
    void FamilyActivated(int index);
    bool Read(bool priorities, edit::EditRequest& request, platform::Error& error) const;

    const settings::SettingsTables& tables_;
    bool presetMode_;
};

}  // namespace batchui
