// The batch window: lists the JNX files of a folder in a grid and applies the editing
// panel's values to every checked file (save), deletes, splits or merges them. Opened
// modally by the editor; every showing starts with an empty grid and an empty panel.
#pragma once
#include <QDialog>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "batch/batch_commands.h"
#include "batch/batch_table.h"
#include "batch/folder_scan.h"
#include "ui/common/message_presenter.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;
class QTableView;

namespace batchui {

class BatchModel;
class CoveragePane;
class BatchWork;
class BatchPanel;

class BatchWindow : public QDialog {
    Q_OBJECT
public:
    BatchWindow(const settings::Settings& settings, const settings::SettingsTables& tables,
                ui::MessagePresenter& presenter, QWidget* parent = nullptr);
    ~BatchWindow() override;

    // Commands, as their buttons run them.
    void OnLoad();
    void OnSave();
    void OnDelete();
    void OnSplit();
    void OnMerge();
    // The folder loaded taken as a device's memory or card: its maps and Custom Maps
    // images judged together against the device profile (batch_device.cpp).
    void OnCheckDevice();
    // Each checked map mended without loss for the device in NAME_fit.jnx beside it
    // (batch_device_ready.cpp).
    void OnMakeDeviceReady();
    void OnSelectAll();
    void OnSelectNone();
    void OnSelectObsolete();
    // Every list of the panel back on "(keep)", every box emptied.
    void OnClearPanel();
    // Space on the grid: the highlighted rows (or the current one) all take the opposite
    // of the current row's check mark.
    void ToggleHighlightedChecks();

    // Empties the grid and the panel and clears the option boxes (each showing runs it).
    void ResetWindow();

    // Navigation: the folder list opens folder; false (and nothing changes) when it
    // cannot be listed.
    bool OpenFolder(const std::string& folder);
    // The drive list picks drive; on failure it returns to the current folder's drive.
    void PickDrive(const std::string& drive);
    const std::string& CurrentFolder() const { return folder_; }

    const batch::BatchTable& Table() const { return table_; }
    batch::BatchTable& Table() { return table_; }
    BatchModel& Model() const { return *model_; }
    BatchPanel& Panel() const { return *panel_; }
    bool Busy() const { return running_; }

    // Controls, by their names.
    QComboBox* Drive1 = nullptr;
    QListWidget* Dir1 = nullptr;
    QPushButton* cmdCargar = nullptr;
    QCheckBox* chkRecursive = nullptr;
    QTableView* SSUltraGrid1 = nullptr;
    CoveragePane* coveragePane = nullptr;  // right of the grid: where the highlighted rows' maps lie
    QWidget* picDown = nullptr;
    QPushButton* cmdSelectAll = nullptr;
    QPushButton* cmdSelectNothing = nullptr;
    QPushButton* cmdSelectObsoletos = nullptr;
    QPushButton* cmdClearPanel = nullptr;
    QLabel* lblChecked = nullptr;
    QLabel* lblCrowded = nullptr;  // above the grid: a folder holds more maps than a unit loads
    QPushButton* CmdSalvar = nullptr;
    QPushButton* cmdborrar = nullptr;
    QCheckBox* chkRemoveOld = nullptr;
    QPushButton* SplitJNX = nullptr;
    QPushButton* joinjnx = nullptr;
    QCheckBox* chkCoarseToFine = nullptr;  // the merged levels from the largest scale to the smallest
    QPushButton* cmdDevice = nullptr;
    QPushButton* cmdDeviceReady = nullptr;
    QProgressBar* ProgressBar1 = nullptr;

    // The size of a first showing (pixels), when the controls need no more.
    static constexpr int kFirstWidth = 1000;
    static constexpr int kFirstHeight = 640;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void reject() override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void LayOut();
    void ApplyColumnLayout();
    void FillDrives();
    void ShowFolderList();
    void FolderClicked(QListWidgetItem* item);
    void DriveActivated(int index);
    // Loads folder into the grid (the load command's work without the setting).
    void LoadRows(std::string folder, bool recursive);  // by value: the table it names is rebuilt
    void SetRunning(bool running);
    void ShowCheckedCount();
    // The coverage pane follows the grid's highlighted rows (not the check marks, which
    // the pane shows only as the outline's line style).
    void ShowCoverage();
    void Refuse(const platform::Error& refusal);
    QString FolderUnreadable(const std::string& folder) const;
    jnx::WriterSettings Writers() const;

    // The summary box with its results list.
    void ShowSummary(const batch::BatchSummary& summary, const QString& counts);
    void ShowCrowdedFolders();
    // Runs work on the worker thread with the progress dialog; the window stays frozen.
    void RunWork(const QString& label, const std::function<void(BatchWork& report)>& work);

    const settings::Settings& settings_;
    const settings::SettingsTables& tables_;
    ui::MessagePresenter& presenter_;
    batch::BatchTable table_;
    BatchModel* model_ = nullptr;
    BatchPanel* panel_ = nullptr;
    std::vector<std::string> drives_;
    std::string folder_;
    bool running_ = false;
    std::vector<QPointer<QWidget>> frozen_;  // disabled for the run, enabled again after it
};

}  // namespace batchui
