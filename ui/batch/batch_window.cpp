#include "ui/batch/batch_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QHideEvent>
#include <QShowEvent>
#include <QResizeEvent>
#include <QStyle>
#include <QTableView>
#include <algorithm>

#include "platform/fs.h"
#include "ui/batch/batch_folders.h"
#include "ui/batch/batch_messages.h"
#include "ui/batch/batch_model.h"
#include "ui/batch/batch_panel.h"
#include "ui/batch/batch_work.h"
#include "ui/batch/coverage_pane.h"
#include "ui/batch/grid_delegate.h"
#include "ui/common/command_keys.h"
#include "ui/common/replace_question.h"
#include "ui/common/error_message.h"
#include "ui/common/window_place.h"

namespace batchui {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// clang-format off
// Design geometry of the bottom strip, in pixels, for a client width of kDesignWidth.
constexpr int kPanelHeight = 232;
constexpr QRect kDrive1{8, 6, 230, 24};
constexpr QRect kDir1{8, 34, 230, 150};
constexpr QRect kRecursive{8, 188, 230, 20};
constexpr int kFrameGap = 4;  // between Drive1 and Frame1 (60 twips)
constexpr QRect kFrame1{8 + 230 + kFrameGap, 2, 540, 100};
constexpr QRect kProgress{8, 212, 984, 16};
constexpr int kRightColumn = 792;  // left of the command column
constexpr int kRightWidth = 200;
constexpr int kFamilyWidth = 250;
constexpr int kStatusWidth = 200;  // the checked-rows count, right of the progress bar
// The coverage pane's share of the width beside the grid, and its bounds in pixels.
constexpr int kCoverageShare = 5;
constexpr int kCoverageMin = 180, kCoverageMax = 360;
// clang-format on

}  // namespace

BatchWindow::BatchWindow(const settings::Settings& settings, const settings::SettingsTables& tables,
                         ui::MessagePresenter& presenter, QWidget* parent)
    : QDialog(parent), settings_(settings), tables_(tables), presenter_(presenter) {
    setWindowTitle(tr("Batch"));
    BuildControls();
    ui::LetCommandKeysThrough(this);
    // Narrower than its design the window would hide its controls: it grows back.
    setMinimumWidth(kDesignWidth);
    setMinimumHeight(kPanelHeight + 80);
    resize(kDesignWidth, kDesignHeight);
    ui::RestorePlace(*this, settings_, "Batch");

    FillDrives();
    const std::string start =
        CleanFolderPath(settings.BatchDefaultDir(platform::ProgramFolder()));
    if (!OpenFolder(start)) OpenFolder(CleanFolderPath(platform::ProgramFolder()));
}

BatchWindow::~BatchWindow() = default;

void BatchWindow::BuildControls() {
    SSUltraGrid1 = new QTableView(this);
    SSUltraGrid1->setObjectName(QStringLiteral("SSUltraGrid1"));
    model_ = new BatchModel(tables_, this);
    model_->SetTable(&table_);
    SSUltraGrid1->setModel(model_);
    SSUltraGrid1->setItemDelegate(new GridDelegate(SSUltraGrid1));
    SSUltraGrid1->installEventFilter(this);
    // The names take what the other columns, sized to their contents, leave over.
    SSUltraGrid1->horizontalHeader()->setSectionResizeMode(BatchModel::kGroupName, QHeaderView::Stretch);
    SSUltraGrid1->horizontalHeader()->setSectionResizeMode(BatchModel::kFilename, QHeaderView::Stretch);
    SSUltraGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    SSUltraGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                  QAbstractItemView::SelectedClicked);
    SSUltraGrid1->verticalHeader()->setDefaultSectionSize(20);
    SSUltraGrid1->verticalHeader()->setVisible(false);
    SSUltraGrid1->horizontalHeader()->setHighlightSections(false);
    SSUltraGrid1->horizontalHeader()->setMinimumSectionSize(12);
    SSUltraGrid1->setWordWrap(false);
    // The column widths were made for a small grid font; a smaller one keeps names whole.
    QFont gridFont = SSUltraGrid1->font();
    gridFont.setPointSizeF(std::max(6.0, gridFont.pointSizeF() - 1.5));
    SSUltraGrid1->setFont(gridFont);
    SSUltraGrid1->horizontalHeader()->setFont(gridFont);

    coveragePane = new CoveragePane(this);
    connect(SSUltraGrid1->selectionModel(), &QItemSelectionModel::selectionChanged, this, &BatchWindow::ShowCoverage);
    // A reset drops the selection without a signal; a check mark changes the line style.
    connect(model_, &QAbstractItemModel::modelReset, this, &BatchWindow::ShowCoverage);
    connect(model_, &QAbstractItemModel::dataChanged, this, &BatchWindow::ShowCoverage);

    picDown = new QWidget(this);
    picDown->setObjectName(QStringLiteral("picDown"));

    Drive1 = new QComboBox(picDown);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    connect(Drive1, &QComboBox::activated, this, &BatchWindow::DriveActivated);
    Dir1 = new QListWidget(picDown);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    connect(Dir1, &QListWidget::itemClicked, this, &BatchWindow::FolderClicked);
    chkRecursive = new QCheckBox(tr("Include subfolders"), picDown);

    panel_ = new BatchPanel(tables_, settings_.UserLevel(), picDown);

    // The shortcut is set after the caption, which would replace it with its mnemonic.
    auto button = [this](const QString& caption, const QString& tip, void (BatchWindow::*command)(),
                         const QKeySequence& key = {}) {
        auto* b = new QPushButton(caption, picDown);
        b->setAutoDefault(false);
        b->setShortcut(key);
        b->setToolTip(key.isEmpty() ? tip
                                    : tip + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) +
                                          QLatin1Char(')'));
        connect(b, &QPushButton::clicked, this, command);
        return b;
    };
    cmdSelectAll = button(tr("All"), tr("Check every row"), &BatchWindow::OnSelectAll);
    cmdSelectNothing = button(tr("None"), tr("Uncheck every row"), &BatchWindow::OnSelectNone);
    cmdSelectObsoletos = button(tr("Obsoletes"), tr("Check exactly the red rows"), &BatchWindow::OnSelectObsolete);
    cmdClearPanel = button(tr("Clear"), tr("Put every value of the panel back to keeping each file's own"),
                           &BatchWindow::OnClearPanel);
    cmdCargar = button(tr("Load Dir"), tr("List the JNX maps of the folder"), &BatchWindow::OnLoad,
                       QKeySequence::Open);
    CmdSalvar = button(tr("Save"), tr("Write the panel's values into every checked map"), &BatchWindow::OnSave,
                       QKeySequence::Save);
    cmdborrar = button(tr("Delete"), tr("Delete the checked maps"), &BatchWindow::OnDelete, QKeySequence::Delete);
    chkRemoveOld = new QCheckBox(tr("Delete old files"), picDown);
    SplitJNX = button(tr("Split JNX"), tr("Write each ticked level of every checked map as a map of its own"),
                      &BatchWindow::OnSplit, QKeySequence(Qt::CTRL | Qt::Key_D));
    joinjnx = button(tr("Merge JNX"), tr("Join the checked maps into one"), &BatchWindow::OnMerge,
                     QKeySequence(Qt::CTRL | Qt::Key_M));
    lblCrowded = new QLabel(this);
    lblCrowded->setObjectName(QStringLiteral("lblCrowded"));
    lblCrowded->setStyleSheet(QStringLiteral("color: #8a5a00; padding: 2px 6px;"));
    lblCrowded->hide();
    lblChecked = new QLabel(picDown);
    lblChecked->setObjectName(QStringLiteral("lblChecked"));
    lblChecked->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(model_, &QAbstractItemModel::dataChanged, this, &BatchWindow::ShowCheckedCount);
    connect(model_, &QAbstractItemModel::modelReset, this, &BatchWindow::ShowCheckedCount);
    ShowCheckedCount();
    ProgressBar1 = new QProgressBar(picDown);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 1);
    ProgressBar1->setValue(0);
}

void BatchWindow::ApplyLayout() {
    const int width = std::max(this->width(), kDesignWidth);
    const int height = this->height();
    const int d = width - kDesignWidth;
    const int half = d / 2;

    const int notice = lblCrowded->isHidden() ? 0 : lblCrowded->sizeHint().height();
    lblCrowded->setGeometry(0, 0, width, notice);
    const int gridHeight = std::max(0, height - kPanelHeight - notice);
    const int paneWidth = std::clamp(width / kCoverageShare, kCoverageMin, kCoverageMax);
    SSUltraGrid1->setGeometry(0, notice, width - paneWidth, gridHeight);
    coveragePane->setGeometry(width - paneWidth, notice, paneWidth, gridHeight);
    picDown->setGeometry(0, notice + gridHeight, width, kPanelHeight);
    ApplyColumnLayout();

    Drive1->setGeometry(kDrive1.x(), kDrive1.y(), kDrive1.width() + half, kDrive1.height());
    Dir1->setGeometry(kDir1.x(), kDir1.y(), kDir1.width() + half, kDir1.height());
    chkRecursive->setGeometry(kRecursive.x(), kRecursive.y(), kRecursive.width() + half, kRecursive.height());
    const int frameLeft = Drive1->x() + Drive1->width() + kFrameGap;
    panel_->Frame1->setGeometry(frameLeft, kFrame1.y(), kFrame1.width() + half, kFrame1.height());

    // The panel's boxes sit under the frame and travel with it.
    const int x = frameLeft;
    int y = kFrame1.bottom() + 6;
    panel_->lblProductID->setGeometry(x, y, 84, 24);
    panel_->txtProductID->setGeometry(x + 92, y, 40, 24);
    panel_->lblFamily->setGeometry(x + 142, y, 44, 24);
    panel_->txtFamiliGroup->setGeometry(x + 188, y, kFamilyWidth + half, 24);
    panel_->cboFamily->setGeometry(x + 188, y, kFamilyWidth + half, 24);
    y += 30;
    // "(keep)" is longer in some languages than any version's name.
    const int versionWidth = std::max(90, panel_->cboActualizar->sizeHint().width());
    panel_->lblActualizar->setGeometry(x, y, 90, 24);
    panel_->cboActualizar->setGeometry(x + 92, y, versionWidth, 24);
    panel_->lblDrawOrder->setGeometry(x + 106 + versionWidth, y, 70, 24);
    panel_->txtDrawOrder->setGeometry(x + 178 + versionWidth, y, 44, 24);
    y += 32;
    cmdSelectAll->setGeometry(x, y, 90, 26);
    cmdSelectNothing->setGeometry(x + 96, y, 90, 26);
    cmdSelectObsoletos->setGeometry(x + 192, y, 90, 26);
    cmdClearPanel->setGeometry(x + 288, y, 90, 26);

    ProgressBar1->setGeometry(kProgress.x(), kProgress.y(), kProgress.width() - kStatusWidth - 8 + d,
                              kProgress.height());
    lblChecked->setGeometry(kProgress.right() - kStatusWidth + d, kProgress.y() - 3, kStatusWidth,
                            kProgress.height() + 6);

    const int right = kRightColumn + d;
    cmdCargar->setGeometry(right, 6, kRightWidth, 28);
    CmdSalvar->setGeometry(right, 40, kRightWidth, 28);
    cmdborrar->setGeometry(right, 74, kRightWidth, 28);
    chkRemoveOld->setGeometry(right, 106, kRightWidth, 22);
    SplitJNX->setGeometry(right, 134, kRightWidth, 28);
    joinjnx->setGeometry(right, 168, kRightWidth, 28);
}

void BatchWindow::ApplyColumnLayout() {
    // A zoom cell shows a row name of the settings in use, in bold when prioritised.
    QFont bold = SSUltraGrid1->font();
    bold.setBold(true);
    const QFontMetrics boldMetrics(bold);
    int zoomName = 0;
    for (const auto& row : tables_.ZoomTable)
        zoomName = std::max(zoomName, boldMetrics.horizontalAdvance(QString::fromStdString(row.Name)));
    zoomName += 2 * (SSUltraGrid1->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1) + 4;

    const QHeaderView* header = SSUltraGrid1->horizontalHeader();
    const QAbstractItemView* view = SSUltraGrid1;  // the content hint is public there
    for (int c = 0; c < BatchModel::kColumnCount; ++c) {
        if (c == BatchModel::kGroupName || c == BatchModel::kFilename) continue;
        int w = std::max(header->sectionSizeHint(c), view->sizeHintForColumn(c));
        if (BatchModel::IsZoomColumn(c)) w = std::max(w, zoomName);
        SSUltraGrid1->setColumnWidth(c, w);
    }
}

void BatchWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    ApplyLayout();
}

void BatchWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;  // restored from minimised: keep what the user has
    ResetWindow();
    ApplyLayout();
}

void BatchWindow::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) ui::RememberPlace(*this, settings_, "Batch");
    QDialog::hideEvent(event);
}

void BatchWindow::reject() {
    // A run in progress lets events through; the window stays until it ends.
    if (running_) return;
    QDialog::reject();
}

void BatchWindow::keyPressEvent(QKeyEvent* event) {
    // The next showing starts empty: a stray Escape must not throw a loaded folder away.
    // The window's close button still closes it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && !table_.rows.empty()) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool BatchWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == SSUltraGrid1 && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        ToggleHighlightedChecks();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void BatchWindow::ToggleHighlightedChecks() {
    if (running_) return;
    const QModelIndex current = SSUltraGrid1->currentIndex();
    QSet<int> rows;
    for (const QModelIndex& index : SSUltraGrid1->selectionModel()->selectedIndexes()) rows.insert(index.row());
    if (rows.isEmpty() && current.isValid()) rows.insert(current.row());
    if (rows.isEmpty()) return;
    const int lead = current.isValid() && rows.contains(current.row()) ? current.row() : *rows.begin();
    const bool check = !model_->IsChecked(lead);
    for (const int row : rows)
        model_->setData(model_->index(row, BatchModel::kCheck), check ? Qt::Checked : Qt::Unchecked,
                        Qt::CheckStateRole);
}

void BatchWindow::OnClearPanel() {
    if (running_) return;
    panel_->Reset();
}

void BatchWindow::ShowCheckedCount() {
    lblChecked->setText(tr("%L1 of %Ln map(s) checked", "", static_cast<int>(table_.rows.size()))
                            .arg(static_cast<qulonglong>(model_->CheckedCount())));
}

void BatchWindow::ResetWindow() {
    SSUltraGrid1->setUpdatesEnabled(true);
    panel_->Reset();
    chkRecursive->setChecked(false);
    chkRemoveOld->setChecked(false);
    table_ = batch::BatchTable{};
    model_->Reset();
    ShowCrowdedFolders();
    ApplyColumnLayout();
    ProgressBar1->setRange(0, 1);
    ProgressBar1->setValue(0);
}

void BatchWindow::ShowCoverage() {
    QSet<int> highlighted;
    for (const QItemSelectionRange& range : SSUltraGrid1->selectionModel()->selection())
        for (int r = range.top(); r <= range.bottom(); ++r) highlighted.insert(r);
    std::vector<CoverageMap> maps;
    for (std::size_t r = 0; r < table_.rows.size(); ++r) {
        const batch::MapRow& row = table_.rows[r];
        const int index = static_cast<int>(r);
        if (!highlighted.contains(index) || !row.bounds) continue;
        // Every name ends in .jnx: the label keeps its room for what tells maps apart, the
        // subfolder included.
        QString name = QFileInfo(Q(row.fileName)).completeBaseName();
        if (!row.subfolder.empty()) name = Q(row.subfolder) + QLatin1Char('/') + name;
        maps.push_back({name, ui::BoxFromJnx(*row.bounds), model_->IsChecked(index), index});
    }
    coveragePane->SetMaps(std::move(maps));
}

// Navigation ------------------------------------------------------------------------

void BatchWindow::FillDrives() {
    drives_ = SystemDrives();
    Drive1->clear();
    for (const auto& d : drives_) Drive1->addItem(Q(d), Q(d));
}

bool BatchWindow::OpenFolder(const std::string& folder) {
    const std::string clean = CleanFolderPath(folder);
    std::vector<FolderListEntry> entries;
    if (!BuildFolderList(DriveOf(drives_, clean), clean, entries)) return false;
    folder_ = clean;
    Dir1->clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    for (const auto& e : entries) {
        auto* item = new QListWidgetItem(e.subfolder ? closed : open, Q(e.name), Dir1);
        item->setData(Qt::UserRole, Q(e.path));
        item->setToolTip(Q(e.path));
        QFont f = item->font();
        f.setBold(e.current);
        item->setFont(f);
        item->setSizeHint(QSize(0, 20));
        // Indentation shows the way down from the drive.
        item->setText(QString(e.depth * 3, QLatin1Char(' ')) + item->text());
        if (e.current) Dir1->setCurrentItem(item);
    }
    const int drive = Drive1->findData(Q(DriveOf(drives_, clean)));
    if (drive >= 0) Drive1->setCurrentIndex(drive);
    return true;
}

void BatchWindow::FolderClicked(QListWidgetItem* item) {
    if (!item || running_) return;
    const std::string path = item->data(Qt::UserRole).toString().toStdString();
    if (!OpenFolder(path)) OpenFolder(folder_);  // vanished meanwhile: show what is there now
}

void BatchWindow::PickDrive(const std::string& drive) {
    if (OpenFolder(drive)) return;
    const int back = Drive1->findData(Q(DriveOf(drives_, folder_)));
    if (back >= 0) Drive1->setCurrentIndex(back);
}

void BatchWindow::DriveActivated(int index) {
    if (index < 0 || running_) return;
    PickDrive(Drive1->itemData(index).toString().toStdString());
}

// Progress ---------------------------------------------------------------------------

void BatchWindow::RunWork(const QString& label, const std::function<void(BatchWork& report)>& work) {
    BatchWork report;
    ui::RunWithProgress(this, label, report, [&] { work(report); }, ProgressBar1);
}

void BatchWindow::SetRunning(bool running) {
    if (running == running_) return;
    running_ = running;
    if (running) {
        // The window's events run while the worker writes: the grid, the panel and the
        // commands hold still until the run ends.
        frozen_.clear();
        QList<QWidget*> widgets = picDown->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        widgets.append(SSUltraGrid1);
        for (QWidget* w : widgets) {
            if (w == ProgressBar1 || !w->isEnabled()) continue;
            w->setEnabled(false);
            frozen_.emplace_back(w);
        }
    } else {
        for (const auto& w : frozen_)
            if (w) w->setEnabled(true);
        frozen_.clear();
    }
}

// Commands ---------------------------------------------------------------------------

jnx::WriterSettings BatchWindow::Writers() const {
    jnx::WriterSettings w;
    w.blockSize = settings_.BlockSize();
    return w;
}

void BatchWindow::Refuse(const platform::Error& refusal) { presenter_.Refusal(ui::ErrorMessage(refusal)); }

QString BatchWindow::FolderUnreadable(const std::string& folder) const {
    return tr("The folder cannot be read: %1").arg(Q(folder));
}

void BatchWindow::LoadRows(std::string folder, bool recursive) {
    // The grid paints from table_ meanwhile: the worker fills a table of its own.
    batch::BatchTable fresh;
    batch::ScanResult result;
    const std::vector<settings::ZoomLevelEntry> zooms = tables_.ZoomTable;
    RunWork(tr("Reading %1").arg(Q(folder)), [&](BatchWork& report) {
        result = batch::LoadFolder(fresh, folder, zooms, recursive, &report, &report);
    });
    table_ = std::move(fresh);
    model_->Reset();
    ShowCrowdedFolders();
    ApplyLayout();
    if (!result.ok)
        presenter_.Error(FolderUnreadable(folder));
    else if (result.cancelled)
        presenter_.Information(ScanCancelledText(table_.rows.size()));
}

void BatchWindow::ShowCrowdedFolders() {
    const auto crowded = batch::CrowdedFolders(table_);
    lblCrowded->setVisible(!crowded.empty());
    if (crowded.empty()) return;
    QString text = tr("%1 holds %L2 maps; a unit loads at most %L3.")
                       .arg(Q(crowded.front().first))
                       .arg(crowded.front().second)
                       .arg(jnx::device::kMaxFiles);
    if (crowded.size() > 1) text += QLatin1Char(' ') + tr("%1 more folders hold too many.").arg(crowded.size() - 1);
    lblCrowded->setText(text);
}

void BatchWindow::ShowSummary(const batch::BatchSummary& summary, const QString& counts) {
    ui::Message message{summary.errors > 0 ? ui::MessageIcon::Critical : ui::MessageIcon::Information,
                        ui::MessageButtons::Ok, counts};
    if (summary.cancelled) message.text += CancelledRunText();
    message.results = ResultLines(summary);
    presenter_.Show(message);
}

void BatchWindow::OnLoad() {
    if (running_) return;
    if (!platform::FolderExists(folder_)) {
        presenter_.Error(FolderUnreadable(folder_));
        return;
    }
    settings_.WriteSetting("Preferences", "BatchDefaultDir", folder_);
    SetRunning(true);
    LoadRows(folder_, chkRecursive->isChecked());
    SetRunning(false);
    // The keys of the grid (Space, Ctrl+A) work at once: Space on the first row, which is
    // current but not highlighted, so nothing is outlined before the user picks.
    if (!table_.rows.empty()) {
        SSUltraGrid1->setFocus();
        SSUltraGrid1->selectionModel()->setCurrentIndex(model_->index(0, BatchModel::kGroupName),
                                                        QItemSelectionModel::NoUpdate);
    }
}

void BatchWindow::OnSelectAll() { model_->SetChecked(batch::AllRows(table_)); }

void BatchWindow::OnSelectNone() { model_->SetChecked({}); }

void BatchWindow::OnSelectObsolete() { model_->SetChecked(batch::ObsoleteRows(table_)); }

void BatchWindow::OnSave() {
    if (running_) return;
    edit::EditRequest request;
    platform::Error invalid;
    if (!panel_->Request(chkRemoveOld->isChecked(), request, invalid)) {
        Refuse(invalid);
        return;
    }
    const batch::Selection checked = model_->Checked();
    jnx::WriterSettings writers = Writers();
    if (!batch::ValidateSave(table_, checked, request)) {
        const std::vector<std::string> inTheWay = batch::SaveOutputsInTheWay(table_, checked, request);
        if (!ui::MayReplaceFiles(presenter_, inTheWay)) return;
        writers.overwrite = !inTheWay.empty();
    }
    SetRunning(true);
    const batch::BatchTable rows = table_;
    batch::SaveSummary summary;
    RunWork(tr("Saving the checked maps"),
            [&](BatchWork& report) { summary = batch::BatchSave(rows, checked, request, writers, &report, &report); });
    if (summary.Refused()) {
        SetRunning(false);
        Refuse(summary.refusal);
        return;
    }
    // The rows' own folder is reloaded, so the results are what the grid shows even when
    // the folder list was moved after the load.
    LoadRows(table_.folder, table_.recursive);
    SetRunning(false);
    ShowSummary(summary, SaveSummaryText(summary.updated, summary.created, summary.errors));
}

void BatchWindow::OnDelete() {
    if (running_) return;
    batch::Selection checked = model_->Checked();
    const std::size_t count = checked.size();
    if (count == 0) {
        Refuse(platform::Error(platform::ErrorCode::RefuseNothingToDelete));
        return;
    }
    // Enter must not delete for good: No is the default answer.
    if (!presenter_.Question(DeleteConfirmText(count), ui::MessageAnswer::No)) return;
    SetRunning(true);
    batch::BatchTable rows = table_;
    batch::DeleteSummary summary;
    RunWork(tr("Deleting the checked maps"),
            [&](BatchWork& report) { summary = batch::BatchDelete(rows, checked, &report); });
    table_ = std::move(rows);
    model_->Reset(checked);  // the rows that stay keep their check marks
    ApplyColumnLayout();
    SetRunning(false);
    if (summary.Refused()) {
        Refuse(summary.refusal);
        return;
    }
    ui::Message message{summary.errors > 0 ? ui::MessageIcon::Critical : ui::MessageIcon::Information,
                        ui::MessageButtons::Ok, DeleteSummaryText(summary.errors)};
    if (summary.cancelled) message.text += QLatin1Char('\n') + CancelledRunText();
    message.results = ResultLines(summary);
    presenter_.Show(message);
}

void BatchWindow::OnSplit() {
    if (running_) return;
    edit::EditRequest request;
    std::vector<int> levels;
    platform::Error invalid;
    if (!panel_->SplitRequest(request, levels, invalid)) {
        Refuse(invalid);
        return;
    }
    const auto levelDirs = tables_.LevelDirs;
    jnx::WriterSettings writers = Writers();
    const batch::Selection checked = model_->Checked();
    const std::vector<std::string> inTheWay = batch::SplitOutputsInTheWay(table_, checked, levels, levelDirs);
    if (!ui::MayReplaceFiles(presenter_, inTheWay)) return;
    writers.overwrite = !inTheWay.empty();
    SetRunning(true);
    const batch::BatchTable rows = table_;
    batch::SplitSummary summary;
    RunWork(tr("Splitting the checked maps"), [&](BatchWork& report) {
        summary = batch::BatchSplit(rows, checked, request, levels, levelDirs, writers, &report, &report);
    });
    if (summary.Refused()) {
        SetRunning(false);
        Refuse(summary.refusal);
        return;
    }
    // The reset clears the subfolder box, so the reload covers the folder alone.
    const std::string folder = table_.folder;
    ResetWindow();
    LoadRows(folder, false);
    SetRunning(false);
    ShowSummary(summary, SplitSummaryText(summary.extracted, summary.errors));
}

}  // namespace batchui
