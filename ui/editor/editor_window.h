// The editor window ("Form1"): loads one JNX file, shows its levels with a preview tile
// per level, and saves or splits it. Its controls make the edit request that the core
// resolves; it shows the wait pointer while the core works.
#pragma once
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "check/findings.h"
#include "jnx/document.h"
#include "edit/edit_request.h"
#include "edit/resolve_edit.h"
#include "jnx/progress.h"
#include "jnx/writer_settings.h"
#include "settings/level_ranges.h"
#include "settings/settings.h"
#include "ui/common/message_presenter.h"
#include "ui/editor/convert_dialogs.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMimeData;
class QPushButton;

namespace convert {
struct ImportResult;
}

namespace ui {

class DeviceProfileBox;
class DigitBox;
class MapView;


class EditorWindow : public QWidget, public jnx::BusyObserver {
    Q_OBJECT
public:
    EditorWindow(const settings::Settings& settings, MessagePresenter& presenter, QWidget* parent = nullptr);
    ~EditorWindow() override;

    // Reads the language and the tables and enters the empty state. False after the
    // missing-language or config-file message: the program then ends.
    bool Start();
    // Reads and shows a file, as the load command does once a file is chosen.
    bool LoadFile(const QString& path);
    // A drop of one local .jnx file loads it; anything else is refused.
    bool LoadDropped(const QMimeData* mime);

    // Hooks for the platform dialogs, replaced by tests.
    std::function<QString(const QString& startFolder, const QString& filter)> chooseFile;
    std::function<std::optional<ImportChoice>(const QString& startFolder)> chooseImport;
    std::function<std::optional<ExportChoice>(const ExportOffer& offer)> chooseExport;
    // False when no program could show the folder.
    std::function<bool(const QString& folder)> openFolder;
    // Shows the batch window; the program links it in, the editor does not know that window.
    std::function<void()> openBatch;

    void OnLoad();
    void OnSave();
    void OnSplit();
    void OnBatch();
    void OnImport();
    void OnExport();
    // Fills each level's row list with the row its fitted scale falls in; the save then
    // writes the exact fitted scale while the level keeps that row (editor_fit.cpp).
    void OnFitScales();
    // The loaded map, as saved, mended without loss for the device in NAME_fit.jnx
    // (editor_device_ready.cpp).
    void OnMakeDeviceReady();
    void block_all();

    const jnx::JnxDocument& Document() const { return doc_; }
    const settings::SettingsTables& Tables() const { return tables_; }

    // The edit request the controls hold now; false, with the code, when a box holds no
    // value (in group-preset mode, an empty zoom box too). On a split the level boxes pick
    // the levels to write, so they give no priorities.
    bool Request(edit::EditRequest& request, platform::Error& error, edit::Purpose purpose = edit::Purpose::Save) const;
    // A map is loaded and the controls hold something else than it was shown with.
    bool HasUnsavedEdits() const;

    // jnx::BusyObserver
    void Begin() override;
    void End() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildControls();
    void ApplyCaptions();
    void FillLists();
    void ShowLoaded(std::int32_t totalTiles);
    // The device check of the map as read, tiles included: the tiles' findings do not
    // change with the edits, so they are judged once per load.
    void CheckLoaded();
    void PosicionaComboNiveles(int k, std::int32_t scale);
    void OnGroupPicked(int index);
    void OnVersionPicked(int index);
    void ShowPreview(int k);
    void HidePreview();
    void ShowPreviewHint(bool shown);
    void SetRunning(bool running);
    void UpdateTitle();
    QString LoadHint() const;
    // True when nothing unsaved would be lost, or the user agrees to lose it.
    bool MayDiscardEdits();
    QString LevelCaption(int k) const;
    // Ranges (editor_ranges.cpp): each level's zooms, from the scales a save would write now,
    // and the device check of the tables a save would write now.
    void ShowRanges();
    void ShowDeviceCheck();
    // The profile picked in either window: the ranges, the device line and the map follow.
    void ProfileChanged();
    void SizeRangeLabels();
    QString RangeText(const settings::LevelRange& range) const;
    // Every level's scale as a save would write it now; the lowest int32 for none.
    std::vector<std::int32_t> ScalesNow() const;

    // Save and split (editor_commands.cpp).
    int ShownLevelCount() const;
    jnx::WriterSettings WriterSettingsNow() const;
    bool Resolve(edit::Purpose purpose, edit::EditRequest& request, edit::ResolvedEdit& resolved);
    bool Refuse(const QString& text);
    bool MissingZoomNumber(const QString& text);
    void OfferFolder(const QString& text, const QString& folder);
    QString CancelledText(const QString& source) const;

    // The fitted scale of a level while its list and priority box stay as the fit left them.
    struct FittedLevel {
        std::int32_t scale = 0;
        int row = -1;
        bool priority = false;
    };
    void ApplyFittedScales(edit::EditRequest& request) const;

    // Import and export (editor_convert.cpp).
    void ShowImported(const convert::ImportResult& result);
    void ShowConvertFailure(const QString& what, const platform::Error& error);
    void ExportCustomMaps(const ExportChoice& choice, const ExportOffer& offer);

    const settings::Settings& settings_;
    MessagePresenter& presenter_;
    settings::SettingsTables tables_;
    jnx::JnxDocument doc_;
    edit::EditRequest shownRequest_;            // what the controls held right after the load
    std::array<std::optional<FittedLevel>, jnx::device::kMaxLevels> fitted_{};
    std::vector<check::Finding> loadFindings_;  // the device check of the map as read
    int userLevel_ = 1;
    std::int64_t blockSize_ = platform::kDefaultBlockSize;
    bool running_ = false;
    bool busyCursor_ = false;

    QPushButton* cmdCargar_ = nullptr;
    QPushButton* cmdSalvar_ = nullptr;
    QPushButton* splitJnx_ = nullptr;
    QPushButton* cmdBatch_ = nullptr;
    QPushButton* cmdImport_ = nullptr;
    QPushButton* cmdExport_ = nullptr;
    QPushButton* cmdFitScales_ = nullptr;
    DeviceProfileBox* deviceProfile_ = nullptr;
    QPushButton* cmdDeviceReady_ = nullptr;
    QLabel* lblInfo_ = nullptr;
    QLabel* lblMapInfo_ = nullptr;  // the map's title and bounds
    QGroupBox* fNiveles_ = nullptr;
    std::array<QLabel*, jnx::device::kMaxLevels> lblNivel_{};
    std::array<QComboBox*, jnx::device::kMaxLevels> cboNivel_{};
    std::array<QCheckBox*, jnx::device::kMaxLevels> chkSplitOPriority_{};
    std::array<DigitBox*, jnx::device::kMaxLevels> txtNivel_{};
    std::array<QLabel*, jnx::device::kMaxLevels> lblShown_{};  // the zooms where the device draws the level
    QLabel* lblTotalTeselas_ = nullptr;
    class DeviceCheckLine* deviceCheck_ = nullptr;
    DigitBox* txtProductID_ = nullptr;
    QLabel* lblgrupo_ = nullptr;
    QLineEdit* txtFamiliGroup_ = nullptr;
    QComboBox* cboFamily_ = nullptr;
    QLabel* lblActualizar_ = nullptr;
    QComboBox* cboActualizar_ = nullptr;
    QLabel* lblDrawOrder_ = nullptr;
    DigitBox* txtDrawOrder_ = nullptr;
    std::array<QLabel*, 3> lblPreviewLabel_{};
    QLabel* lblInfoLevel_ = nullptr;
    QLabel* picPreview_ = nullptr;
    // The import last asked for while it has not succeeded: the dialog reopens with it.
    ImportChoice lastImport_;
    MapView* mapView_ = nullptr;
};

}  // namespace ui
