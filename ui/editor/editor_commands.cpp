// The commands of the editor window that write files (save and split) and the one
// that opens the batch window.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <algorithm>

#include "edit/resolve_edit.h"
#include "operations/save_map.h"
#include "operations/split_map.h"
#include "platform/fs.h"
#include "ui/common/device_profile_box.h"
#include "ui/common/digit_box.h"
#include "ui/common/error_message.h"
#include "ui/common/replace_question.h"
#include "ui/common/worker_run.h"
#include "ui/editor/editor_window.h"

namespace ui {

namespace {

QString FromPath(const std::string& path) { return QString::fromStdString(path); }

bool WasCancelled(const platform::Error& error) { return error.code == platform::ErrorCode::Cancelled; }

}  // namespace

jnx::WriterSettings EditorWindow::WriterSettingsNow() const {
    jnx::WriterSettings writer;
    writer.blockSize = blockSize_;
    return writer;
}

// The controls' request for the loaded file; a value that cannot be written is refused
// before anything is touched.
bool EditorWindow::Resolve(edit::Purpose purpose, edit::EditRequest& request, edit::ResolvedEdit& resolved) {
    platform::Error error;
    if (Request(request, error, purpose) &&
        edit::ResolveEdit(request, doc_, doc_.FileName, WriterSettingsNow(), purpose, resolved, error))
        return true;
    return Refuse(ErrorMessage(error));
}

bool EditorWindow::Refuse(const QString& text) {
    presenter_.Refusal(text);
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
        text + QLatin1Char('\n') + tr("Press YES to open the output folder, NO otherwise."), MessageButtons::YesNo);
    if (answer != MessageAnswer::Yes || !openFolder || openFolder(folder)) return;
    presenter_.Information(tr("No file browser could show the folder %1.").arg(folder));
}

void EditorWindow::OnSave() {
    if (running_) return;
    if (doc_.FileName.empty()) {
        Refuse(tr("Need to load a JNX file."));
        return;
    }
    if (MissingZoomNumber(tr("All levels need a zoom name."))) return;

    const std::string source = doc_.FileName;
    edit::EditRequest request;
    edit::ResolvedEdit resolved;
    if (!Resolve(edit::Purpose::Save, request, resolved)) return;
    const bool patch = resolved.road == edit::Road::Patch;
    jnx::WriterSettings writer = WriterSettingsNow();
    // NAME_new.jnx is the program's name: a file there is the user's, replaced only if asked.
    if (!patch && resolved.outputPath != source) {
        writer.overwrite = platform::NameTaken(resolved.outputPath);
        if (!MayReplaceFiles(presenter_, {resolved.outputPath})) return;
    }
    SetRunning(true);
    operations::SaveOutcome saved;
    ui::WorkerReport report;
    // The worker reads doc_ while the window paints from it; neither changes it.
    RunWithProgress(this, tr("Writing %1").arg(FromPath(platform::FileNameOf(resolved.outputPath))), report,
                    [&] { saved = operations::SaveMap(doc_, source, request, writer, &report); });
    const bool ok = saved.Ok();
    const platform::Error& error = saved.error;
    SetRunning(false);
    const QString output = FromPath(resolved.outputPath);
    // Only a save that is on disk ends the edits; after a failure the map and every edited
    // value stay, so the user can try again or keep them elsewhere.
    if (ok) {
        block_all();
        OfferFolder((patch ? tr("JNX updated successfully.") : tr("New JNX generated successfully.")) +
                        QLatin1Char('\n') + output,
                    FromPath(platform::ParentFolder(resolved.outputPath)));
    } else if (WasCancelled(error)) {
        presenter_.Information(CancelledText(FromPath(source)));
    } else if (patch) {  // the reason follows without a break in English
        presenter_.Error(tr("Errors in JNX update. %1", "%1: the reason").arg(ErrorMessage(error)) + QLatin1Char('\n') +
                         FromPath(source));
    } else {
        presenter_.Error(tr("Errors in JNX generation.") + QLatin1Char('\n') + output + QLatin1Char('\n') +
                         ErrorMessage(error));
    }
}

void EditorWindow::OnSplit() {
    if (running_) return;
    if (doc_.FileName.empty()) {
        Refuse(tr("Need to load a JNX file."));
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
        Refuse(ErrorMessage(platform::Error(platform::ErrorCode::RefuseNothingToSplit)));
        return;
    }
    if (ticked == 1 && doc_.Header.LevelCount == 1) {
        Refuse(tr("The file has only one level, no need to split it."));
        return;
    }

    const std::string source = doc_.FileName;
    edit::EditRequest request;
    edit::ResolvedEdit resolved;
    if (!Resolve(edit::Purpose::Split, request, resolved)) return;
    std::vector<int> chosen;
    for (int k = 0; k < levels; ++k)
        if (chkSplitOPriority_[k]->isChecked()) chosen.push_back(k + 1);
    const std::vector<std::string> outputs = operations::SplitOutputs(source, chosen, tables_.LevelDirs);
    jnx::WriterSettings writer = WriterSettingsNow();
    writer.overwrite = std::any_of(outputs.begin(), outputs.end(), platform::NameTaken);
    if (!MayReplaceFiles(presenter_, outputs)) return;
    SetRunning(true);
    operations::SplitOutcome outcome;
    ui::WorkerReport report;
    RunWithProgress(this, tr("Splitting %1").arg(FromPath(platform::FileNameOf(source))), report, [&] {
        outcome = operations::SplitMap(doc_, source, request, chosen, tables_.LevelDirs, writer, &report);
    });
    const bool ok = outcome.Ok();
    const platform::Error& error = outcome.error;
    const std::vector<std::string>& written = outcome.written;
    const std::string& failedOut = outcome.failedOutput;
    SetRunning(false);
    QStringList names;
    for (const std::string& out : written) names << FromPath(out);
    if (ok) {
        block_all();
        OfferFolder(tr("New JNX generated successfully.") + QLatin1Char('\n') + names.join(QLatin1Char('\n')),
                    FromPath(platform::ParentFolder(written.back())));
        return;
    }
    QString text = WasCancelled(error) ? CancelledText(FromPath(source))
                                       : tr("Errors in JNX generation.") + QLatin1Char('\n') + FromPath(failedOut) +
                                             QLatin1Char('\n') + ErrorMessage(error);
    if (!names.isEmpty()) text += QLatin1Char('\n') + tr("Written before: %1").arg(names.join(QStringLiteral(", ")));
    if (WasCancelled(error))
        presenter_.Information(text);
    else
        presenter_.Error(text);
}

QString EditorWindow::CancelledText(const QString& source) const {
    return tr("Cancelled: the file being written was removed; %1 is as it was.").arg(source);
}

void EditorWindow::OnBatch() {
    if (running_ || !openBatch) return;
    openBatch();
    deviceProfile_->Reload();  // the batch window may have picked another
}

}  // namespace ui
