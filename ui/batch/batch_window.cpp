#include "ui/batch/batch_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QHideEvent>
#include <QShowEvent>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/fs.h"
#include "settings/scale_model.h"
#include "ui/batch/batch_folders.h"
#include "ui/batch/batch_messages.h"
#include "ui/batch/batch_model.h"
#include "ui/batch/batch_panel.h"
#include "ui/batch/batch_work.h"
#include "ui/batch/coverage_pane.h"
#include "ui/batch/grid_delegate.h"
#include "ui/common/command_keys.h"
#include "ui/common/device_profile_box.h"
#include "ui/common/device_ready.h"
#include "ui/common/replace_question.h"
#include "ui/common/error_message.h"
#include "ui/common/language.h"
#include "ui/common/window_place.h"

namespace batchui {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The coverage pane's bounds beside the grid, in pixels: wide enough to tell outlines
// apart, never so wide that the grid's columns are squeezed.
constexpr int kCoverageMin = 180, kCoverageMax = 360;

}  // namespace

BatchWindow::BatchWindow(const settings::Settings& settings, const settings::SettingsTables& tables,
                         ui::MessagePresenter& presenter, QWidget* parent)
    : QDialog(parent), settings_(settings), tables_(tables), presenter_(presenter) {
    setWindowTitle(tr("Batch"));
    BuildControls();
    LayOut();
    ui::LetCommandKeysThrough(this);
    // The layout sets the least size that shows every control whole; the grid takes the rest.
    QSize first = sizeHint().expandedTo(QSize(kFirstWidth, kFirstHeight));
    // A scaled small screen may hold less than the first size, though the least one fits.
    if (const QScreen* shown = screen()) first = first.boundedTo(shown->availableGeometry().size());
    resize(first);
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

    panel_ = new BatchPanel(settings_, tables_, settings_.UserLevel(), picDown);
    connect(panel_->deviceProfile, &ui::DeviceProfileBox::StoreFailed, this,
            [this](const platform::Error& error) { presenter_.Error(ui::ErrorMessage(error)); });

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
    cmdDevice = button(tr("Check as device"),
                       tr("Take the folder loaded as a device's memory or card: check its maps and Custom Maps "
                          "images together against the device profile"),
                       &BatchWindow::OnCheckDevice);
    cmdDevice->setObjectName(QStringLiteral("cmdDevice"));
    chkCoarseToFine = new QCheckBox(tr("Coarse to fine"), picDown);
    chkCoarseToFine->setObjectName(QStringLiteral("chkCoarseToFine"));
    chkCoarseToFine->setToolTip(
        tr("Write the merged levels from the largest scale to the smallest, as most viewers "
           "expect; unchecked, they follow the checked maps' order"));
    cmdDeviceReady = button(ui::DeviceReadyCaption(),
                            ui::DeviceReadyTip(QString::fromLatin1(settings::DeviceProfileOrDefault(settings_).name)),
                            &BatchWindow::OnMakeDeviceReady);
    cmdDeviceReady->setObjectName(QStringLiteral("cmdDeviceReady"));
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

void BatchWindow::LayOut() {
    // Layouts only: the controls keep the parents they were made with, so the tab order
    // stays the order they were made in.
    lblCrowded->setWordWrap(true);
    // A long folder path must not widen the window; the label wraps or cuts it instead.
    lblCrowded->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    coveragePane->setMinimumWidth(kCoverageMin);
    coveragePane->setMaximumWidth(kCoverageMax);
    SSUltraGrid1->setMinimumHeight(5 * SSUltraGrid1->verticalHeader()->defaultSectionSize());

    auto* top = new QHBoxLayout;
    top->setSpacing(0);
    top->addWidget(SSUltraGrid1, 4);
    top->addWidget(coveragePane, 1);

    auto* window = new QVBoxLayout(this);
    window->setContentsMargins(0, 0, 0, 0);
    window->setSpacing(0);
    window->addWidget(lblCrowded);
    window->addLayout(top, 1);
    window->addWidget(picDown);
    picDown->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    // The folder list fills the room the other columns leave instead of claiming it, and
    // a long mount point does not widen the drive list: the panel's lists come first.
    Dir1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    Dir1->setMinimumSize(12 * fontMetrics().averageCharWidth(), 4 * Dir1->fontMetrics().height());
    Drive1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    Drive1->setMinimumContentsLength(12);
    auto* folders = new QVBoxLayout;
    folders->addWidget(Drive1);
    folders->addWidget(Dir1, 1);
    folders->addWidget(chkRecursive);

    // Two digits and three: the boxes are as wide as what they take, whatever the font
    // and the style's frame.
    const std::pair<QLineEdit*, int> numbers[] = {{panel_->txtProductID, 2}, {panel_->txtDrawOrder, 3}};
    for (const auto& [box, digits] : numbers) {
        const QFontMetrics metrics = box->fontMetrics();
        const int frame = box->sizeHint().width() - 17 * metrics.horizontalAdvance(QLatin1Char('x'));
        box->setFixedWidth(frame + (digits + 1) * metrics.horizontalAdvance(QLatin1Char('0')));
    }
    // The five level lists set the panel's least width: on a small screen at a large
    // scale they give up a third of their room before the window outgrows the screen.
    for (QComboBox* list : panel_->cboNivel) list->setMinimumWidth(list->minimumSizeHint().width() * 2 / 3);
    auto* boxes = new QGridLayout;
    boxes->addWidget(panel_->lblProductID, 0, 0);
    boxes->addWidget(panel_->txtProductID, 0, 1, Qt::AlignLeft);
    boxes->addWidget(panel_->lblFamily, 0, 2);
    // One of the two shows, by the user level: they share the cell.
    boxes->addWidget(panel_->txtFamiliGroup, 0, 3);
    boxes->addWidget(panel_->cboFamily, 0, 3);
    boxes->addWidget(panel_->lblActualizar, 1, 0);
    boxes->addWidget(panel_->cboActualizar, 1, 1);
    boxes->addWidget(panel_->lblDrawOrder, 1, 2);
    boxes->addWidget(panel_->txtDrawOrder, 1, 3, Qt::AlignLeft);
    boxes->addWidget(panel_->deviceProfile, 2, 0, 1, 3);
    boxes->addWidget(panel_->chkFitScales, 2, 3);
    boxes->setColumnStretch(3, 1);

    auto* selection = new QHBoxLayout;
    for (QPushButton* b : {cmdSelectAll, cmdSelectNothing, cmdSelectObsoletos, cmdClearPanel}) selection->addWidget(b);
    selection->addStretch(1);

    auto* middle = new QVBoxLayout;
    middle->addWidget(panel_->Frame1);
    middle->addLayout(boxes);
    middle->addLayout(selection);
    middle->addStretch(1);

    auto* commands = new QVBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{cmdCargar, CmdSalvar, cmdborrar, chkRemoveOld, SplitJNX, joinjnx,
                                                      chkCoarseToFine, cmdDevice, cmdDeviceReady})
        commands->addWidget(w);
    commands->addStretch(1);

    auto* status = new QHBoxLayout;
    status->addWidget(ProgressBar1, 1);
    status->addWidget(lblChecked);

    auto* strip = new QGridLayout(picDown);
    strip->setContentsMargins(8, 4, 8, 4);
    strip->addLayout(folders, 0, 0);
    strip->addLayout(middle, 0, 1);
    strip->addLayout(commands, 0, 2);
    strip->addLayout(status, 1, 0, 1, 3);
    // The folder list and the panel share the width the commands leave, as 3 to 7.
    strip->setColumnStretch(0, 3);
    strip->setColumnStretch(1, 7);
    strip->setColumnMinimumWidth(2, 22 * fontMetrics().horizontalAdvance(QLatin1Char('0')));
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

void BatchWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;  // restored from minimised: keep what the user has
    ResetWindow();
    panel_->deviceProfile->Reload();  // the editor may have picked another
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
                            .arg(ui::Number(static_cast<qint64>(model_->CheckedCount()))));
}

void BatchWindow::ResetWindow() {
    SSUltraGrid1->setUpdatesEnabled(true);
    panel_->Reset();
    chkRecursive->setChecked(false);
    chkRemoveOld->setChecked(false);
    chkCoarseToFine->setChecked(false);
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
    ApplyColumnLayout();
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
                       .arg(Q(crowded.front().first), ui::Number(static_cast<qint64>(crowded.front().second)),
                            ui::Number(jnx::device::kMaxFiles));
    if (crowded.size() > 1)
        text += QLatin1Char(' ') +
                tr("%1 more folders hold too many.").arg(ui::Number(static_cast<qint64>(crowded.size()) - 1));
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
    if (!panel_->SaveRequest(chkRemoveOld->isChecked(), request, invalid)) {
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
    const std::vector<std::string> outputs = batch::SplitOutputsOf(table_, checked, levels, levelDirs);
    if (!ui::MayReplaceFiles(presenter_, outputs)) return;
    writers.overwrite = std::any_of(outputs.begin(), outputs.end(), platform::NameTaken);
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
