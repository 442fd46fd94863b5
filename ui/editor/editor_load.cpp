// Loading a file into the editor window and showing it, and the tile preview.
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "check/device_check.h"
#include "jnx/codec.h"
#include "platform/binary_file.h"
#include "settings/scale_model.h"
#include "ui/common/device_check_line.h"
#include "ui/common/device_profile_box.h"
#include "jnx/reader.h"
#include "platform/fs.h"
#include "ui/common/digit_box.h"
#include "ui/common/error_message.h"
#include "ui/common/language.h"
#include "ui/editor/editor_window.h"
#include "ui/editor/map_view.h"
#include "ui/editor/preview.h"

namespace ui {

void EditorWindow::OnLoad() {
    if (running_) return;
    const QString start = QString::fromStdString(settings_.BatchDefaultDir(platform::ProgramFolder()));
    const QString filter = tr("JNX file (*.jnx *.JNX)", "file dialog filter");
    const QString path = chooseFile ? chooseFile(start, filter) : QString();
    // A cancelled dialog changes nothing, so the question about unsaved edits comes after it.
    if (path.trimmed().isEmpty() || !MayDiscardEdits()) return;
    LoadFile(path);
}

bool EditorWindow::LoadFile(const QString& path) {
    if (running_) return false;
    // However the map came (dialog, drop, command line), the next dialog starts beside it.
    settings_.WriteSetting("Preferences", "BatchDefaultDir", QFileInfo(path).absolutePath().toStdString());
    SetRunning(true);
    const QString shownBefore = lblInfo_->text();
    lblInfo_->setText(path);
    const std::string file = path.toStdString();
    std::int32_t totalTiles = 0;
    platform::Error error;
    // Read aside: a map that cannot be opened leaves the one shown, and its edits, as they are.
    jnx::JnxDocument read;
    const bool ok = jnx::ReadJnx(read, file, totalTiles, error, jnx::ReadDepth::Full, this);
    End();
    if (!ok) {
        lblInfo_->setText(shownBefore);
        SetRunning(false);
        // The advice to rebuild fits only a version this program does not read; a damaged
        // or truncated map is named with what is wrong with it.
        QString text = tr("%1 cannot be opened:").arg(path) + QLatin1Char('\n') + ErrorMessage(error);
        if (error.code == platform::ErrorCode::UnsupportedVersion)
            text += QLatin1Char('\n') +
                    tr("JNX file version not supported, rebuild the JNX with newer versions of applications.");
        // The dialog took the mouse off the level tags: a tile shown before is no longer asked for.
        HidePreview();
        presenter_.Error(text);
        return false;
    }
    doc_ = std::move(read);
    doc_.FileName = file;
    CheckLoaded();
    ShowLoaded(totalTiles);
    platform::Error unreadable;  // a value the load put in a box and no save would take
    Request(shownRequest_, unreadable);
    ShowDeviceCheck();
    SetRunning(false);
    UpdateTitle();
    return true;
}

void EditorWindow::CheckLoaded() {
    loadFindings_ = check::CheckStructure(doc_, &tables_.ZoomTable, deviceProfile_->Profile().factor);
    platform::BinaryFile file;
    platform::Error error;
    if (file.Open(doc_.FileName, platform::BinaryFile::Mode::Read, error))
        check::CheckTileHeads(doc_, file, false, loadFindings_, error);
}

int EditorWindow::ShownLevelCount() const {
    const auto levels = std::min<std::int64_t>(doc_.Header.LevelCount, static_cast<std::int64_t>(doc_.Levels.size()));
    return static_cast<int>(std::clamp<std::int64_t>(levels, 0, jnx::device::kMaxLevels));
}

void EditorWindow::PosicionaComboNiveles(int k, std::int32_t scale) {
    cboNivel_[k]->setCurrentIndex(-1);
    const settings::ZoomMatch match = settings::RowForScale(tables_.ZoomTable, scale);
    if (match.row < 0 || match.row >= cboNivel_[k]->count()) return;
    cboNivel_[k]->setCurrentIndex(match.row);
    if (match.prioritised) chkSplitOPriority_[k]->setChecked(*match.prioritised);
}

void EditorWindow::ShowLoaded(std::int32_t totalTiles) {
    fitted_ = {};
    const int levels = ShownLevelCount();
    for (int k = 0; k < levels; ++k) {
        const auto index = static_cast<std::size_t>(k);
        PosicionaComboNiveles(k, doc_.Levels[index].Scale);
        cboNivel_[k]->setEnabled(true);
        chkSplitOPriority_[k]->setEnabled(true);
        lblNivel_[k]->setText(LevelCaption(k));
        const std::int32_t zoom = index < doc_.LevelInfos.size() ? doc_.LevelInfos[index].Zoom : 255;
        txtNivel_[k]->setText(zoom == 255 ? QString() : QString::number(zoom));
        txtNivel_[k]->setEnabled(true);
    }
    for (int k = levels; k < jnx::device::kMaxLevels; ++k) {
        cboNivel_[k]->setEnabled(false);
        chkSplitOPriority_[k]->setEnabled(false);
        chkSplitOPriority_[k]->setChecked(false);
        cboNivel_[k]->setCurrentIndex(-1);
        txtNivel_[k]->clear();
        txtNivel_[k]->setEnabled(false);
    }
    lblInfoLevel_->clear();
    mapView_->ShowMap(doc_);
    ShowRanges();
    // Bounds are stored in units of 180 / 2^31 degrees: north, east, south, west.
    const auto degrees = [this](std::size_t i) {
        return Number(double(doc_.Header.Bounds[i]) * 180.0 / 2147483648.0, 5);
    };
    lblMapInfo_->setText(tr("Title: %1").arg(QString::fromStdString(jnx::DecodeText(doc_.MapInfo.MapTitle, true))) +
                         QLatin1Char('\n') +
                         tr("North %1°, South %2°, West %3°, East %4°")
                             .arg(degrees(0), degrees(2), degrees(3), degrees(1)));
    lblTotalTeselas_->setText(
        tr("Total %1 TL. - JNX v.%2").arg(GroupedNumber(totalTiles), QString::number(doc_.Header.Version)));
    lblTotalTeselas_->show();

    txtProductID_->setText(QString::number(doc_.Header.ProductId));
    txtProductID_->setEnabled(true);
    const QString group = QString::fromStdString(jnx::DecodeText(doc_.MapInfo.GroupName, true));
    txtFamiliGroup_->setText(group);
    txtFamiliGroup_->setEnabled(true);
    cboFamily_->setEditText(group);
    cboFamily_->setEnabled(true);
    cmdSalvar_->setEnabled(true);
    cmdFitScales_->setEnabled(true);
    splitJnx_->setEnabled(true);
    cboActualizar_->setEnabled(true);

    const int version = doc_.Header.Version == 3 ? 3 : 4;
    txtDrawOrder_->setText(version == 3 ? QStringLiteral("25") : QString::number(doc_.Header.DrawOrder));
    txtDrawOrder_->setEnabled(version != 3);
    const int item = cboActualizar_->findData(version);
    if (item >= 0) cboActualizar_->setCurrentIndex(item);
    OnVersionPicked(cboActualizar_->currentIndex());
}

void EditorWindow::ShowPreview(int k) {
    if (k < 0 || k >= jnx::device::kMaxLevels || !cboNivel_[k]->isEnabled()) return;
    const auto index = static_cast<std::size_t>(k);
    if (index >= doc_.Levels.size()) return;
    const QImage picture = index < doc_.Previews.size() ? PictureFromJpegBytes(doc_.Previews[index]) : QImage();
    if (picture.isNull())
        picPreview_->clear();
    else
        picPreview_->setPixmap(FitPicture(picture, picPreview_->contentsRect().size()));
    picPreview_->show();
    const std::int32_t zoom = index < doc_.LevelInfos.size() ? doc_.LevelInfos[index].Zoom : 255;
    lblInfoLevel_->setText(LevelInfoText(doc_.Levels[index].TileCount, zoom, doc_.Levels[index].Scale));
    ShowPreviewHint(false);
}

// The tile goes with its map: once hidden it is dropped, so no later state shows it again.
void EditorWindow::HidePreview() {
    picPreview_->clear();
    picPreview_->hide();
    lblInfoLevel_->clear();
    ShowPreviewHint(true);
}

// The hint is emptied rather than hidden, so the preview column keeps its height.
void EditorWindow::ShowPreviewHint(bool shown) {
    lblPreviewLabel_[0]->setText(shown ? tr("when the map is loaded") : QString());
    lblPreviewLabel_[1]->setText(shown ? tr("move the mouse over a level's tag") : QString());
    lblPreviewLabel_[2]->setText(shown ? tr("to preview") : QString());
}

bool EditorWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        for (int k = 0; k < jnx::device::kMaxLevels; ++k) {
            if (watched == lblNivel_[k]) {
                ShowPreview(k);
                return true;
            }
        }
        if (watched == fNiveles_) HidePreview();
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace ui
