#include "ui/batch/batch_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "ui/common/device_profile_box.h"
#include "ui/common/digit_box.h"
#include "ui/common/request_controls.h"

namespace batchui {

namespace {

// The first entry of every list: no value, so each file keeps its own. Without it a
// list, once picked, could not go back to keeping.
void AddKeepEntry(QComboBox* list) { list->addItem(BatchPanel::tr("(keep)")); }

}  // namespace

BatchPanel::BatchPanel(const settings::Settings& settings, const settings::SettingsTables& tables, int userLevel,
                       QWidget* parent)
    : QObject(parent), tables_(tables), presetMode_(userLevel == 2) {
    Frame1 = new QGroupBox(tr("Levels"), parent);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* grid = new QGridLayout(Frame1);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setVerticalSpacing(2);
    for (int k = 0; k < 5; ++k) {
        lblNivel[k] = new QLabel(tr("Level %1").arg(k + 1), Frame1);
        cboNivel[k] = new QComboBox(Frame1);
        cboNivel[k]->setObjectName(QStringLiteral("cboNivel%1").arg(k));
        AddKeepEntry(cboNivel[k]);
        for (const auto& row : tables.ZoomTable)
            cboNivel[k]->addItem(QString::fromStdString(row.Name), row.StandardScale);
        chkSplitOPriority[k] = new QCheckBox(tr("Split"), Frame1);
        chkSplitOPriority[k]->setObjectName(QStringLiteral("chkSplitOPriority%1").arg(k));
        ui::ExplainSplitOrPriority(chkSplitOPriority[k]);
        grid->addWidget(lblNivel[k], 0, k);
        grid->addWidget(cboNivel[k], 1, k);
        grid->addWidget(chkSplitOPriority[k], 2, k);
        grid->setColumnStretch(k, 1);
    }

    lblProductID = new QLabel(tr("Product ID"), parent);
    // The same boxes as the editor's: digits only, two of them typed at most.
    txtProductID = new ui::DigitBox(2, parent);
    txtProductID->setObjectName(QStringLiteral("txtProductID"));

    lblFamily = new QLabel(tr("Group"), parent);
    txtFamiliGroup = new QLineEdit(parent);
    txtFamiliGroup->setObjectName(QStringLiteral("txtFamiliGroup"));
    cboFamily = new QComboBox(parent);
    cboFamily->setObjectName(QStringLiteral("cboFamily"));
    cboFamily->setEditable(true);
    cboFamily->setInsertPolicy(QComboBox::NoInsert);
    AddKeepEntry(cboFamily);
    for (const auto& group : tables.Groups) cboFamily->addItem(QString::fromStdString(group.Name), group.ProductId);
    cboFamily->setVisible(presetMode_);
    txtFamiliGroup->setVisible(!presetMode_);
    connect(cboFamily, &QComboBox::editTextChanged, txtFamiliGroup, &QLineEdit::setText);
    connect(cboFamily, &QComboBox::activated, this, &BatchPanel::FamilyActivated);

    lblActualizar = new QLabel(tr("Update to ..."), parent);
    cboActualizar = new QComboBox(parent);
    cboActualizar->setObjectName(QStringLiteral("cboActualizar"));
    AddKeepEntry(cboActualizar);
    for (const auto& item : tables.TargetVersions) cboActualizar->addItem(QString::fromStdString(item.Text), item.Version);
    connect(cboActualizar, &QComboBox::currentIndexChanged, this, &BatchPanel::VersionPicked);

    lblDrawOrder = new QLabel(tr("DrawOrder"), parent);
    txtDrawOrder = new ui::DigitBox(3, parent);
    txtDrawOrder->setObjectName(QStringLiteral("txtDrawOrder"));

    deviceProfile = new ui::DeviceProfileBox(settings, parent);
    chkFitScales = new QCheckBox(tr("Fit scales"), parent);
    chkFitScales->setObjectName(QStringLiteral("chkFitScales"));
    chkFitScales->setToolTip(tr("Save: give each level the scale its imagery calls for on the device profile's units"));
}

void BatchPanel::Reset() {
    txtFamiliGroup->clear();
    txtProductID->clear();
    txtDrawOrder->clear();
    cboFamily->setCurrentIndex(-1);
    cboFamily->setEditText(QString());
    txtFamiliGroup->clear();  // the list's edit text has just been copied into it
    cboActualizar->setCurrentIndex(0);
    VersionPicked(0);
    chkFitScales->setChecked(false);
    for (int k = 0; k < 5; ++k) {
        cboNivel[k]->setCurrentIndex(0);
        chkSplitOPriority[k]->setChecked(false);
    }
}

void BatchPanel::FamilyActivated(int index) {
    if (index > 0) {
        PickFamily(index - 1);
        return;
    }
    // "(keep)": the product ID and the name it filled in go too; the level lists stay.
    txtProductID->clear();
    cboFamily->setEditText(QString());
}

void BatchPanel::PickFamily(int group) {
    const int index = group + 1;  // after "(keep)"
    if (group < 0 || index >= cboFamily->count()) return;
    txtProductID->setText(QString::number(cboFamily->itemData(index).toInt()));
    txtFamiliGroup->setText(cboFamily->itemText(index));
    if (!presetMode_ || static_cast<std::size_t>(group) >= tables_.GroupZoomTable.size()) return;
    const auto& zooms = tables_.GroupZoomTable[static_cast<std::size_t>(group)].ZoomIndex;
    for (int k = 0; k < 5; ++k) {
        const int z = zooms[static_cast<std::size_t>(k)];
        // -2 keeps the choice, -1 picks "(keep)"; an index that names no row is passed over.
        if (z == -2 || z < -1 || z + 1 >= cboNivel[k]->count()) continue;
        cboNivel[k]->setCurrentIndex(z + 1);
    }
}

void BatchPanel::VersionPicked(int index) {
    // With no target chosen each file keeps its version, so the draw order stays on offer.
    const bool show = index < 0 || cboActualizar->itemData(index).toInt() != 3;  // "(keep)" holds no number
    txtDrawOrder->setVisible(show);
    txtDrawOrder->setEnabled(show);
    lblDrawOrder->setVisible(show);
}

bool BatchPanel::Read(bool priorities, edit::EditRequest& request, platform::Error& error) const {
    ui::RequestControls controls;
    controls.productId = txtProductID;
    controls.groupName = txtFamiliGroup;
    controls.targetVersion = cboActualizar;
    controls.drawOrder = txtDrawOrder;
    controls.scale = cboNivel;
    if (priorities) controls.priority = chkSplitOPriority;
    return ui::RequestFrom(controls, request, error);
}

bool BatchPanel::Request(bool removeOld, edit::EditRequest& request, platform::Error& error) const {
    if (!Read(true, request, error)) return false;
    request.replaceSource = removeOld;
    return true;
}

bool BatchPanel::SaveRequest(bool removeOld, edit::EditRequest& request, platform::Error& error) const {
    if (!Request(removeOld, request, error)) return false;
    if (chkFitScales->isChecked()) request.fitScalesFactor = deviceProfile->Profile().factor;
    return true;
}

bool BatchPanel::SplitRequest(edit::EditRequest& request, std::vector<int>& levels, platform::Error& error) const {
    levels.clear();
    for (int k = 0; k < 5; ++k)
        if (chkSplitOPriority[k]->isChecked()) levels.push_back(k + 1);
    return Read(false, request, error);
}

}  // namespace batchui
