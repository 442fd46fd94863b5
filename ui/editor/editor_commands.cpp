// The commands of the editor window that write files (save and split) and the one
// that opens the batch window.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "compose/extract.h"
#include "jnx/modif.h"
#include "edit/user_input.h"
#include "jnx/regenerate.h"
#include "platform/fs.h"
#include "ui/common/digit_box.h"
#include "ui/editor/editor_window.h"

namespace ui {

namespace {

QString FromPath(const std::string& path) { return QString::fromStdString(path); }

}  // namespace

EditorWindow::Target EditorWindow::WorkOutTarget() const {
    Target target;
    target.version = doc_.Header.Version;
    if (cboActualizar_->currentIndex() >= 0) {
        target.version = cboActualizar_->currentData().toInt();
        target.changed = target.version != doc_.Header.Version;
    }
    return target;
}

void EditorWindow::ApplyDrawOrder(const Target& target) {
    const std::string text = jnx::Trim(txtDrawOrder_->text().toStdString());
    if (text.empty()) {
        if (target.changed && target.version == 4) doc_.Header.DrawOrder = jnx::kDefaultDrawOrder;
        return;
    }
    // The box holds at most three digits, so the number always converts.
    if (const auto number = jnx::ParseInt32(text)) doc_.Header.DrawOrder = *number;
}

jnx::WriterSettings EditorWindow::WriterSettingsNow() const {
    jnx::WriterSettings writer;
    writer.userLevel = userLevel_;
    writer.blockSize = blockSize_;
    return writer;
}

bool EditorWindow::Refuse(const QString& text) {
    presenter_.Information(texts_->warningTitle, text);
    return false;
}

// In group-preset mode every level needs its zoom number; the focus goes to the first
// empty box.
bool EditorWindow::MissingZoomNumber(const QString& text) {
    if (userLevel_ != 2) return false;
    for (int k = 0; k < ShownLevelCount(); ++k) {
        if (txtNivel_[k]->text().trimmed().isEmpty()) {
            Refuse(text);
            txtNivel_[k]->setFocus();
            return true;
        }
    }
    return false;
}

void EditorWindow::OfferFolder(const QString& text, const QString& folder) {
    const MessageAnswer answer = presenter_.Information(
        texts_->informationTitle, text + QLatin1Char('\n') + texts_->goToFolder, MessageButtons::YesNo);
    if (answer == MessageAnswer::Yes && openFolder) openFolder(folder);
}

void EditorWindow::OnSave() {
    if (running_) return;
    if (doc_.FileName.empty()) {
        Refuse(texts_->needFile);
        return;
    }
    if (MissingZoomNumber(texts_->allLevelsZoomName)) return;

    const Target target = WorkOutTarget();
    ApplyDrawOrder(target);
    const std::string source = doc_.FileName;
    const QString folder = FromPath(platform::ParentFolder(source));
    std::string errorText;
    SetRunning(true);
    Begin();

    if (target.version == doc_.Header.Version && !doc_.NeedsRegeneration) {
        const bool ok = jnx::ModifJNX(doc_, *this, source, WriterSettingsNow(), errorText, this);
        End();
        block_all();
        SetRunning(false);
        if (ok) {
            OfferFolder(texts_->updatedOk, folder);
        } else if (spanish_) {
            presenter_.Plain(QString(), texts_->updateErrors + QLatin1Char('\n') + FromPath(errorText));
        } else {
            presenter_.Error(texts_->errorTitle, texts_->updateErrors + FromPath(errorText));
        }
        return;
    }

    const std::string out = platform::JoinPath(platform::ParentFolder(source), platform::BaseNameOf(source) + "_new.jnx");
    const bool ok = jnx::RegenerateJnx(doc_, *this, source, out, target.changed, target.version, WriterSettingsNow(),
                                       errorText, this);
    End();
    block_all();
    SetRunning(false);
    if (ok) {
        OfferFolder(texts_->generatedOk, FromPath(platform::ParentFolder(out)));
    } else if (spanish_) {
        presenter_.Plain(QString(), texts_->generationErrors + QLatin1Char('\n') + FromPath(errorText));
    } else {
        presenter_.Error(texts_->errorTitle, texts_->generationErrors + QLatin1Char('\n') + FromPath(errorText));
    }
}

void EditorWindow::OnSplit() {
    if (running_) return;
    if (doc_.FileName.empty()) {
        Refuse(texts_->needFile);
        return;
    }
    if (txtFamiliGroup_->text().trimmed().isEmpty()) {
        Refuse(texts_->groupEmpty);
        return;
    }
    if (txtProductID_->text().trimmed().isEmpty()) {
        Refuse(texts_->productIdEmpty);
        return;
    }
    const int levels = ShownLevelCount();
    for (int k = 0; k < levels; ++k) {
        if (cboNivel_[k]->currentIndex() < 0) {
            Refuse(texts_->allLevelsZoomNumber);
            return;
        }
    }
    if (MissingZoomNumber(texts_->allLevelsZoomNumber)) return;
    int ticked = 0;
    for (const QCheckBox* box : chkSplitOPriority_) ticked += box->isChecked() ? 1 : 0;
    if (ticked == 0) {
        Refuse(texts_->nothingToSplit);
        return;
    }
    if (ticked == 1 && doc_.Header.LevelCount == 1) {
        Refuse(texts_->singleLevel);
        return;
    }

    const Target target = WorkOutTarget();
    ApplyDrawOrder(target);
    const std::string source = doc_.FileName;
    SetRunning(true);
    Begin();
    bool ok = true;
    std::string lastOut;
    for (int k = 0; k < levels && ok; ++k) {
        if (!chkSplitOPriority_[k]->isChecked()) continue;
        lastOut = compose::LevelFilePath(source, k + 1, tables_.LevelDirs);
        std::string errorText;
        ok = compose::ExtractLevel(doc_, *this, source, lastOut, k + 1, target.changed, target.version,
                                   WriterSettingsNow(), errorText, this);
    }
    End();
    block_all();
    SetRunning(false);
    const QString folder = FromPath(platform::ParentFolder(lastOut));
    if (ok) {
        OfferFolder(texts_->generatedOk, folder);
    } else if (spanish_) {
        OfferFolder(texts_->generationErrors, folder);
    } else {
        presenter_.Error(texts_->errorTitle, texts_->generationErrors);
    }
}

void EditorWindow::OnBatch() {
    if (running_ || !openBatch) return;
    openBatch();
}

}  // namespace ui
