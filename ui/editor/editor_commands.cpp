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
    presenter_.Information(tr("Warning"), text);
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
        tr("Information"), text + QLatin1Char('\n') + tr("Press YES to go generation folder, NO otherwise."),
        MessageButtons::YesNo);
    if (answer == MessageAnswer::Yes && openFolder) openFolder(folder);
}

void EditorWindow::OnSave() {
    if (running_) return;
    if (doc_.FileName.empty()) {
        Refuse(tr("Need to load a JNX file."));
        return;
    }
    if (MissingZoomNumber(tr("All levels need a zoom name."))) return;

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
        if (ok)
            OfferFolder(tr("JNX updated Sucesfuly."), folder);
        else  // the reason follows without a break in English
            presenter_.Error(tr("Error"),
                             tr("Errors in JNX update.%1", "%1: the reason").arg(FromPath(errorText)));
        return;
    }

    const std::string out = platform::JoinPath(platform::ParentFolder(source), platform::BaseNameOf(source) + "_new.jnx");
    const bool ok = jnx::RegenerateJnx(doc_, *this, source, out, target.changed, target.version, WriterSettingsNow(),
                                       errorText, this);
    End();
    block_all();
    SetRunning(false);
    if (ok)
        OfferFolder(tr("New JNX generated Sucesfuly."), FromPath(platform::ParentFolder(out)));
    else
        presenter_.Error(tr("Error"), tr("Errors in JNX generation.") + QLatin1Char('\n') + FromPath(errorText));
}

void EditorWindow::OnSplit() {
    if (running_) return;
    if (doc_.FileName.empty()) {
        Refuse(tr("Need to load a JNX file."));
        return;
    }
    if (txtFamiliGroup_->text().trimmed().isEmpty()) {
        Refuse(tr("Product description empty."));
        return;
    }
    if (txtProductID_->text().trimmed().isEmpty()) {
        Refuse(tr("Product ID empty."));
        return;
    }
    const int levels = ShownLevelCount();
    for (int k = 0; k < levels; ++k) {
        if (cboNivel_[k]->currentIndex() < 0) {
            Refuse(tr("All levels need a zoom number."));
            return;
        }
    }
    if (MissingZoomNumber(tr("All levels need a zoom number."))) return;
    int ticked = 0;
    for (const QCheckBox* box : chkSplitOPriority_) ticked += box->isChecked() ? 1 : 0;
    if (ticked == 0) {
        Refuse(tr("Nothing to split, you need to check levels to split."));
        return;
    }
    if (ticked == 1 && doc_.Header.LevelCount == 1) {
        Refuse(tr("The file has only one level, no need to split it."));
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
    if (ok)
        OfferFolder(tr("New JNX generated Sucesfuly."), FromPath(platform::ParentFolder(lastOut)));
    else
        presenter_.Error(tr("Error"), tr("Errors in JNX generation."));
}

void EditorWindow::OnBatch() {
    if (running_ || !openBatch) return;
    openBatch();
}

}  // namespace ui
