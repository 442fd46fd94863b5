// The commands of the editor window that write files (save and split) and the one
// that opens the batch window.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "compose/extract.h"
#include "edit/resolve_edit.h"
#include "jnx/modif.h"
#include "edit/user_input.h"
#include "jnx/regenerate.h"
#include "platform/fs.h"
#include "ui/common/digit_box.h"
#include "ui/common/error_message.h"
#include "ui/editor/editor_window.h"

namespace ui {

namespace {

QString FromPath(const std::string& path) { return QString::fromStdString(path); }

}  // namespace

jnx::WriterSettings EditorWindow::WriterSettingsNow() const {
    jnx::WriterSettings writer;
    writer.userLevel = userLevel_;
    writer.blockSize = blockSize_;
    return writer;
}

// The controls' request for the loaded file; a value that cannot be written is refused
// before anything is touched.
bool EditorWindow::Resolve(edit::Purpose purpose, edit::ResolvedEdit& resolved) {
    platform::Error error;
    if (edit::ResolveEdit(Request(), doc_, doc_.FileName, WriterSettingsNow(), purpose, resolved, error)) return true;
    return Refuse(ErrorMessage(error));
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
    if (answer != MessageAnswer::Yes || !openFolder || openFolder(folder)) return;
    presenter_.Information(tr("Information"), tr("No file browser could show the folder %1.").arg(folder));
}

void EditorWindow::OnSave() {
    if (running_) return;
    if (doc_.FileName.empty()) {
        Refuse(tr("Need to load a JNX file."));
        return;
    }
    if (MissingZoomNumber(tr("All levels need a zoom name."))) return;

    const std::string source = doc_.FileName;
    edit::ResolvedEdit resolved;
    if (!Resolve(edit::Purpose::Save, resolved)) return;
    platform::Error error;
    SetRunning(true);
    Begin();
    const bool patch = resolved.road == edit::Road::Patch;
    const bool ok = patch ? jnx::ModifJNX(doc_, resolved.values, source, error, this)
                          : jnx::RegenerateJnx(doc_, resolved.values, resolved.version, source, resolved.outputPath,
                                               WriterSettingsNow(), error, this);
    End();
    block_all();
    SetRunning(false);
    if (ok) {
        OfferFolder((patch ? tr("JNX updated Successfully.") : tr("New JNX generated Successfully.")),
                    FromPath(platform::ParentFolder(resolved.outputPath)));
    } else if (patch) {  // the reason follows without a break in English
        presenter_.Error(tr("Error"), tr("Errors in JNX update.%1", "%1: the reason").arg(ErrorMessage(error)));
    } else {
        presenter_.Error(tr("Error"), tr("Errors in JNX generation.") + QLatin1Char('\n') + ErrorMessage(error));
    }
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

    const std::string source = doc_.FileName;
    edit::ResolvedEdit resolved;
    if (!Resolve(edit::Purpose::Split, resolved)) return;
    platform::Error error;
    SetRunning(true);
    Begin();
    bool ok = true;
    std::string lastOut;
    for (int k = 0; k < levels && ok; ++k) {
        if (!chkSplitOPriority_[k]->isChecked()) continue;
        lastOut = compose::LevelFilePath(source, k + 1, tables_.LevelDirs);
        ok = compose::ExtractLevel(doc_, resolved.values, resolved.version, source, lastOut, k + 1,
                                   WriterSettingsNow(), error, this);
    }
    End();
    block_all();
    SetRunning(false);
    if (ok)
        OfferFolder(tr("New JNX generated Successfully."), FromPath(platform::ParentFolder(lastOut)));
    else
        presenter_.Error(tr("Error"), tr("Errors in JNX generation."));
}

void EditorWindow::OnBatch() {
    if (running_ || !openBatch) return;
    openBatch();
}

}  // namespace ui
