#include "ui/editor/editor_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

#include "settings/scale_model.h"
#include "ui/common/command_keys.h"
#include "ui/common/device_check_line.h"
#include "ui/common/digit_box.h"
#include "ui/common/request_controls.h"
#include "ui/common/window_place.h"
#include "ui/editor/map_view.h"
#include "platform/text.h"

namespace ui {

namespace {

constexpr const char* kProgramVersion = "0.1.0";

QString WindowCaption() { return QStringLiteral("Tessaly v.") + QString::fromLatin1(kProgramVersion); }

// English whatever the settings say: the language itself is what is missing.
QString MissingLanguageMessage() { return QStringLiteral("Error reading Preferences/Language in Tessaly.ini."); }

QString Indexed(const char* name, int k) { return QString::fromLatin1(name) + QLatin1Char('_') + QString::number(k); }

template <typename T>
T* Named(T* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

// The local .jnx file of a drop, or an empty text.
QString DroppedJnx(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls() || mime->urls().size() != 1) return {};
    const QUrl url = mime->urls().front();
    if (!url.isLocalFile()) return {};
    const QString path = url.toLocalFile();
    return path.endsWith(QLatin1String(".jnx"), Qt::CaseInsensitive) ? path : QString();
}

}  // namespace

EditorWindow::EditorWindow(const settings::Settings& settings, MessagePresenter& presenter, QWidget* parent)
    : QWidget(parent), settings_(settings), presenter_(presenter) {
    setObjectName(QStringLiteral("Form1"));
    setAcceptDrops(true);
    chooseFile = [this](const QString& startFolder, const QString& filter) {
        return QFileDialog::getOpenFileName(this, QString(), startFolder, filter);
    };
    openFolder = [](const QString& folder) { return QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); };
    chooseImport = [this](const QString& startFolder) {
        return AskImport(this, startFolder, lastImport_,
                         {tables_.ZoomTable, &settings::DeviceProfileOrDefault(settings_)});
    };
    chooseExport = [this](const ExportOffer& offer) { return AskExport(this, offer); };
    BuildControls();
    LetCommandKeysThrough(this);
}

EditorWindow::~EditorWindow() {
    if (busyCursor_) QApplication::restoreOverrideCursor();
}

void EditorWindow::BuildControls() {
    auto* root = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    root->addLayout(left, 1);

    auto* commands = new QHBoxLayout;
    cmdCargar_ = Named(new QPushButton(this), QStringLiteral("cmdCargar"));
    cmdSalvar_ = Named(new QPushButton(this), QStringLiteral("CmdSalvar"));
    splitJnx_ = Named(new QPushButton(this), QStringLiteral("SplitJNX"));
    cmdBatch_ = Named(new QPushButton(this), QStringLiteral("cmdBatch"));
    cmdImport_ = Named(new QPushButton(this), QStringLiteral("cmdImport"));
    cmdExport_ = Named(new QPushButton(this), QStringLiteral("cmdExport"));
    for (QPushButton* button : {cmdCargar_, cmdSalvar_, splitJnx_, cmdImport_, cmdExport_, cmdBatch_})
        commands->addWidget(button);
    left->addLayout(commands);
    connect(cmdCargar_, &QPushButton::clicked, this, &EditorWindow::OnLoad);
    connect(cmdSalvar_, &QPushButton::clicked, this, &EditorWindow::OnSave);
    connect(splitJnx_, &QPushButton::clicked, this, &EditorWindow::OnSplit);
    connect(cmdBatch_, &QPushButton::clicked, this, &EditorWindow::OnBatch);
    connect(cmdImport_, &QPushButton::clicked, this, &EditorWindow::OnImport);
    connect(cmdExport_, &QPushButton::clicked, this, &EditorWindow::OnExport);

    lblInfo_ = Named(new QLabel(this), QStringLiteral("lblInfo"));
    lblInfo_->setWordWrap(true);
    lblInfo_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    left->addWidget(lblInfo_);
    lblMapInfo_ = Named(new QLabel(this), QStringLiteral("lblMapInfo"));
    lblMapInfo_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    left->addWidget(lblMapInfo_);

    fNiveles_ = Named(new QGroupBox(this), QStringLiteral("FNiveles"));
    fNiveles_->setMouseTracking(true);
    fNiveles_->installEventFilter(this);
    auto* levels = new QGridLayout(fNiveles_);
    for (int k = 0; k < jnx::device::kMaxLevels; ++k) {
        lblNivel_[k] = Named(new QLabel(fNiveles_), Indexed("lblNivel", k));
        lblNivel_[k]->setMouseTracking(true);
        lblNivel_[k]->installEventFilter(this);
        cboNivel_[k] = Named(new QComboBox(fNiveles_), Indexed("cboNivel", k));
        cboNivel_[k]->setMinimumContentsLength(14);
        chkSplitOPriority_[k] = Named(new QCheckBox(fNiveles_), Indexed("chkSplitOPriority", k));
        txtNivel_[k] = Named(new DigitBox(2, fNiveles_), Indexed("txtNivel", k));
        txtNivel_[k]->setMaximumWidth(40);
        levels->addWidget(lblNivel_[k], k, 0);
        levels->addWidget(cboNivel_[k], k, 1);
        levels->addWidget(chkSplitOPriority_[k], k, 2);
        levels->addWidget(txtNivel_[k], k, 3);
        lblShown_[k] = Named(new QLabel(fNiveles_), Indexed("lblShown", k));
        levels->addWidget(lblShown_[k], k, 4);
        connect(cboNivel_[k], &QComboBox::currentIndexChanged, this, &EditorWindow::ShowRanges);
        connect(chkSplitOPriority_[k], &QCheckBox::toggled, this, &EditorWindow::ShowRanges);
        connect(cboNivel_[k], &QComboBox::currentIndexChanged, this, &EditorWindow::ShowDeviceCheck);
        connect(chkSplitOPriority_[k], &QCheckBox::toggled, this, &EditorWindow::ShowDeviceCheck);
        connect(txtNivel_[k], &QLineEdit::textChanged, this, &EditorWindow::ShowDeviceCheck);
    }
    cmdFitScales_ = Named(new QPushButton(fNiveles_), QStringLiteral("cmdFitScales"));
    levels->addWidget(cmdFitScales_, jnx::device::kMaxLevels, 1);
    connect(cmdFitScales_, &QPushButton::clicked, this, &EditorWindow::OnFitScales);
    levels->setColumnStretch(1, 1);
    left->addWidget(fNiveles_);

    lblTotalTeselas_ = Named(new QLabel(this), QStringLiteral("lblTotalTeselas"));
    left->addWidget(lblTotalTeselas_);
    deviceCheck_ = new DeviceCheckLine(this);
    left->addWidget(deviceCheck_);

    auto* fields = new QGridLayout;
    lblgrupo_ = Named(new QLabel(this), QStringLiteral("lblgrupo"));
    txtProductID_ = Named(new DigitBox(2, this), QStringLiteral("txtProductID"));
    txtProductID_->setMaximumWidth(40);
    txtFamiliGroup_ = Named(new QLineEdit(this), QStringLiteral("txtFamiliGroup"));
    cboFamily_ = Named(new QComboBox(this), QStringLiteral("cboFamily"));
    cboFamily_->setEditable(true);
    cboFamily_->setInsertPolicy(QComboBox::NoInsert);
    auto* group = new QHBoxLayout;
    group->addWidget(txtProductID_);
    group->addWidget(txtFamiliGroup_, 1);
    group->addWidget(cboFamily_, 1);
    fields->addWidget(lblgrupo_, 0, 0);
    fields->addLayout(group, 0, 1, 1, 3);
    lblgrupo_->setBuddy(txtProductID_);

    lblActualizar_ = Named(new QLabel(this), QStringLiteral("lblActualizar"));
    cboActualizar_ = Named(new QComboBox(this), QStringLiteral("cboActualizar"));
    lblDrawOrder_ = Named(new QLabel(this), QStringLiteral("lblDrawOrder"));
    txtDrawOrder_ = Named(new DigitBox(3, this), QStringLiteral("txtDrawOrder"));
    txtDrawOrder_->setMaximumWidth(50);
    fields->addWidget(lblActualizar_, 1, 0);
    fields->addWidget(cboActualizar_, 1, 1);
    fields->addWidget(lblDrawOrder_, 1, 2, Qt::AlignRight);
    fields->addWidget(txtDrawOrder_, 1, 3);
    fields->setColumnStretch(1, 1);
    left->addLayout(fields);
    left->addStretch(1);

    connect(cboFamily_, &QComboBox::activated, this, &EditorWindow::OnGroupPicked);
    connect(cboFamily_, &QComboBox::editTextChanged, txtFamiliGroup_, &QLineEdit::setText);
    connect(cboActualizar_, &QComboBox::currentIndexChanged, this, &EditorWindow::OnVersionPicked);
    // The device line judges what a save would write, so it follows every control a save reads.
    connect(cboActualizar_, &QComboBox::currentIndexChanged, this, &EditorWindow::ShowDeviceCheck);
    for (QLineEdit* box : {static_cast<QLineEdit*>(txtProductID_), txtFamiliGroup_, static_cast<QLineEdit*>(txtDrawOrder_)})
        connect(box, &QLineEdit::textChanged, this, &EditorWindow::ShowDeviceCheck);

    // The map beside the level panel takes the room the preview leaves.
    auto* right = new QVBoxLayout;
    mapView_ = new MapView(this);
    right->addWidget(mapView_, 1);
    picPreview_ = Named(new QLabel(this), QStringLiteral("picPreview"));
    picPreview_->setFixedSize(256, 256);
    picPreview_->setAlignment(Qt::AlignCenter);
    picPreview_->setFrameShape(QFrame::StyledPanel);
    // Hiding the preview must not move the controls around it.
    QSizePolicy keepRoom = picPreview_->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    picPreview_->setSizePolicy(keepRoom);
    txtDrawOrder_->setSizePolicy(keepRoom);
    lblDrawOrder_->setSizePolicy(keepRoom);
    right->addWidget(picPreview_, 0, Qt::AlignHCenter);
    lblInfoLevel_ = Named(new QLabel(this), QStringLiteral("lblInfoLevel"));
    lblInfoLevel_->setAlignment(Qt::AlignCenter);
    right->addWidget(lblInfoLevel_);
    for (int i = 0; i < 3; ++i) {
        lblPreviewLabel_[i] = Named(new QLabel(this), QStringLiteral("lblPreviewLabel%1").arg(i + 1));
        lblPreviewLabel_[i]->setAlignment(Qt::AlignCenter);
        right->addWidget(lblPreviewLabel_[i]);
    }
    root->addLayout(right, 2);
}

bool EditorWindow::Start() {
    const std::string lang = settings_.Lang();
    blockSize_ = settings_.BlockSize();
    userLevel_ = settings_.UserLevel();
    if (platform::Trim(lang).empty()) {
        presenter_.Error(MissingLanguageMessage());
        return false;
    }
    ApplyCaptions();
    // A BlockSize no rewrite would accept is said now, before any work is done.
    if (blockSize_ <= 0 || !settings::CargarCombos(settings_, tables_)) {
        lblInfo_->setText(LoadHint());
        presenter_.Error(tr("Error in config file."));
        return false;
    }
    FillLists();
    block_all();
    lblInfo_->setText(LoadHint());
    UpdateTitle();
    // Room for the map on a first start, which a window would otherwise not get.
    if (QScreen* shown = screen()) resize(sizeHint().boundedTo(shown->availableGeometry().size()));
    RestorePlace(*this, settings_, "Editor");
    return true;
}

void EditorWindow::ApplyCaptions() {
    // A caption replaces the button's shortcut with its mnemonic, so the key comes after it.
    const auto command = [](QPushButton* button, const QString& caption, const QString& tip, const QKeySequence& key) {
        button->setText(caption);
        button->setShortcut(key);
        button->setToolTip(tip + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) + QLatin1Char(')'));
    };
    command(cmdCargar_, tr("Load JNX"), tr("Open a JNX map"), QKeySequence::Open);
    command(cmdSalvar_, tr("Save JNX"), tr("Write the edits into the map"), QKeySequence::Save);
    command(splitJnx_, tr("Split JNX"), tr("Write each ticked level as a map of its own"),
            QKeySequence(Qt::CTRL | Qt::Key_D));
    command(cmdBatch_, tr("Batch"), tr("Edit every map of a folder"), QKeySequence(Qt::CTRL | Qt::Key_B));
    command(cmdImport_, tr("Import…"), tr("Make a map of MBTiles, KMZ or a folder of tiles"),
            QKeySequence(Qt::CTRL | Qt::Key_I));
    command(cmdExport_, tr("Export…"), tr("Write the map as KMZ or MBTiles"), QKeySequence(Qt::CTRL | Qt::Key_E));
    for (QCheckBox* box : chkSplitOPriority_) {
        box->setText(tr("Split"));
        ExplainSplitOrPriority(box);
    }
    lblgrupo_->setText(tr("Group"));
    fNiveles_->setTitle(tr("Levels"));
    cmdFitScales_->setText(tr("Fit scales"));
    cmdFitScales_->setToolTip(tr("Give each level the scale its imagery calls for on the device profile's units"));
    lblInfo_->setText(LoadHint());
    ShowPreviewHint(true);
    lblActualizar_->setText(tr("Update to ..."));
    lblDrawOrder_->setText(tr("DrawOrder"));
    lblDrawOrder_->setToolTip(DrawOrderTip());
}

QString EditorWindow::LoadHint() const { return tr("Press Load JNX button."); }

// The spaces line the numbers up under the caption's longer word in either language.
QString EditorWindow::LevelCaption(int k) const { return tr("Level") + QStringLiteral("   ") + QString::number(k + 1); }

void EditorWindow::FillLists() {
    for (QComboBox* cbo : cboNivel_) {
        cbo->clear();
        for (const settings::ZoomLevelEntry& row : tables_.ZoomTable)
            cbo->addItem(QString::fromStdString(row.Name), row.StandardScale);
    }
    cboFamily_->clear();
    for (const settings::GroupEntry& group : tables_.Groups)
        cboFamily_->addItem(QString::fromStdString(group.Name), group.ProductId);
    cboActualizar_->clear();
    for (const settings::VersionItem& item : tables_.TargetVersions)
        cboActualizar_->addItem(QString::fromStdString(item.Text), item.Version);
    SizeRangeLabels();
    mapView_->SetZoomTable(tables_.ZoomTable);
    mapView_->SetDeviceProfile(settings::DeviceProfileOrDefault(settings_));
}

void EditorWindow::block_all() {
    const bool presets = userLevel_ == 2;
    for (int k = 0; k < jnx::device::kMaxLevels; ++k) {
        cboNivel_[k]->setCurrentIndex(-1);
        cboNivel_[k]->setEnabled(false);
        lblNivel_[k]->setText(LevelCaption(k));
        txtNivel_[k]->setVisible(presets);
        txtNivel_[k]->clear();
        txtNivel_[k]->setEnabled(false);
        chkSplitOPriority_[k]->setChecked(false);
        chkSplitOPriority_[k]->setEnabled(false);
    }
    for (QLabel* shown : lblShown_) shown->clear();
    mapView_->Clear();
    HidePreview();
    lblMapInfo_->clear();
    txtProductID_->clear();
    txtProductID_->setEnabled(false);
    lblTotalTeselas_->clear();
    cmdSalvar_->setEnabled(false);
    cmdFitScales_->setEnabled(false);
    fitted_ = {};
    splitJnx_->setEnabled(false);
    cmdExport_->setEnabled(false);
    txtFamiliGroup_->clear();
    txtFamiliGroup_->setEnabled(false);
    cboFamily_->setVisible(presets);
    cboFamily_->setCurrentIndex(-1);
    cboFamily_->setEditText(QString());
    cboFamily_->setEnabled(false);
    txtFamiliGroup_->setVisible(!presets);
    doc_.FileName.clear();
    cboActualizar_->setCurrentIndex(-1);
    cboActualizar_->setEnabled(false);
    txtDrawOrder_->clear();
    txtDrawOrder_->setEnabled(false);
    // Last: the controls cleared above each had the line judge them once more.
    deviceCheck_->ShowNothing();
    // No version is chosen, so there is no draw order to offer.
    txtDrawOrder_->hide();
    lblDrawOrder_->hide();
    lblInfo_->setText(LoadHint());
    UpdateTitle();
}

bool EditorWindow::MayDiscardEdits() {
    if (!HasUnsavedEdits()) return true;
    const QString name = QFileInfo(QString::fromStdString(doc_.FileName)).fileName();
    return presenter_.Question(tr("The changes to %1 are not saved. Discard them?").arg(name), MessageAnswer::No);
}

void EditorWindow::closeEvent(QCloseEvent* event) {
    if (running_ || !MayDiscardEdits()) {
        event->ignore();
        return;
    }
    RememberPlace(*this, settings_, "Editor");
    QWidget::closeEvent(event);
}

void EditorWindow::UpdateTitle() {
    if (doc_.FileName.empty()) {
        setWindowTitle(WindowCaption());
        return;
    }
    setWindowTitle(QFileInfo(QString::fromStdString(doc_.FileName)).fileName() + QStringLiteral(" - ") +
                   WindowCaption());
}

void EditorWindow::OnGroupPicked(int index) {
    if (index < 0 || index >= cboFamily_->count()) return;
    txtProductID_->setText(QString::number(cboFamily_->itemData(index).toInt()));
    txtFamiliGroup_->setText(cboFamily_->itemText(index));
    if (userLevel_ != 2) return;
    const int levels = ShownLevelCount();
    if (static_cast<std::size_t>(index) < tables_.GroupZoomTable.size()) {
        const settings::GroupZoomEntry& entry = tables_.GroupZoomTable[static_cast<std::size_t>(index)];
        for (int k = 0; k < levels; ++k) {
            const int z = entry.ZoomIndex[static_cast<std::size_t>(k)];
            // A preset that names no row of the list is ignored, like "keep".
            if (z == -2 || z < -1 || z >= cboNivel_[k]->count()) continue;
            cboNivel_[k]->setCurrentIndex(z);
        }
    }
    for (int k = levels; k < jnx::device::kMaxLevels; ++k) cboNivel_[k]->setCurrentIndex(-1);
}

void EditorWindow::OnVersionPicked(int index) {
    if (index < 0) return;
    const bool drawOrder = cboActualizar_->itemData(index).toInt() != 3;
    txtDrawOrder_->setVisible(drawOrder);
    txtDrawOrder_->setEnabled(drawOrder);
    lblDrawOrder_->setVisible(drawOrder);
}

void EditorWindow::SetRunning(bool running) {
    running_ = running;
    const bool idle = !running;
    cmdCargar_->setEnabled(idle);
    cmdBatch_->setEnabled(idle);
    cmdImport_->setEnabled(idle);
    cmdExport_->setEnabled(idle && !doc_.FileName.empty());
    cmdSalvar_->setEnabled(idle && !doc_.FileName.empty());
    cmdFitScales_->setEnabled(idle && !doc_.FileName.empty());
    splitJnx_->setEnabled(idle && !doc_.FileName.empty());
}

void EditorWindow::Begin() {
    if (!busyCursor_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        busyCursor_ = true;
    }
    // Lets the window repaint; the commands are disabled meanwhile, so no second one starts.
    QCoreApplication::processEvents();
}

void EditorWindow::End() {
    if (busyCursor_) {
        QApplication::restoreOverrideCursor();
        busyCursor_ = false;
    }
}

void EditorWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!running_ && !DroppedJnx(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void EditorWindow::dropEvent(QDropEvent* event) {
    if (LoadDropped(event->mimeData())) event->acceptProposedAction();
}

bool EditorWindow::LoadDropped(const QMimeData* mime) {
    const QString path = DroppedJnx(mime);
    if (running_ || path.isEmpty() || !MayDiscardEdits()) return false;
    settings_.WriteSetting("Preferences", "BatchDefaultDir", QFileInfo(path).absolutePath().toStdString());
    LoadFile(path);
    return true;
}

}  // namespace ui
