#include "ui/batch/batch_messages.h"

#include <QCoreApplication>

#include "platform/fs.h"
#include "ui/common/error_message.h"
#include "ui/common/language.h"

namespace batchui {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

}  // namespace

QString SaveSummaryText(int updated, int created, int errors) {
    return QCoreApplication::translate("batchui::Messages", "Updated OK: %L1").arg(ui::Number(updated)) + kCrLf +
           QCoreApplication::translate("batchui::Messages", "Created OK: %L1").arg(ui::Number(created)) + kCrLf +
           QCoreApplication::translate("batchui::Messages", "Errors: %L1").arg(ui::Number(errors)) + kCrLf;
}

QString SplitSummaryText(int extracted, int errors) {
    return QCoreApplication::translate("batchui::Messages", "Extracted OK: %L1").arg(ui::Number(extracted)) + kCrLf +
           QCoreApplication::translate("batchui::Messages", "Errors: %L1").arg(ui::Number(errors)) + kCrLf;
}

QString DeleteSummaryText(int errors) {
    if (errors > 0) return QCoreApplication::translate("batchui::Messages", "Delete errors.");
    return QCoreApplication::translate("batchui::Messages", "Deleted OK.");
}

QString DeleteConfirmText(std::size_t count) {
    return QCoreApplication::translate("batchui::Messages", "Delete %Ln file(s)?", "", static_cast<int>(count));
}

QString MergeFailureText(const QString& reason) {
    return QCoreApplication::translate("batchui::Messages", "Error merging files.") + kCrLf + reason;
}

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("batchui::Messages", text); }
QString Name(const std::string& path) { return QString::fromStdString(platform::FileNameOf(path)); }
// Beside its map a file's name says where it went; a split folder elsewhere needs the path.
QString Placed(const batch::RowOutcome& row) {
    if (platform::ParentFolder(row.output) == platform::ParentFolder(row.path)) return Name(row.output);
    return QString::fromStdString(row.output);
}

QString Outcome(const batch::RowOutcome& row) {
    switch (row.result) {
        case batch::RowResult::Updated:
            if (row.output != row.path) return Tr("updated, renamed to %1").arg(Name(row.output));
            return Tr("updated");
        case batch::RowResult::Created:
            // "Delete old files": written anew under the source's own name.
            if (row.output == row.path) return Tr("rewritten as a new file; the old one was deleted");
            return Tr("created %1").arg(Name(row.output));
        case batch::RowResult::Extracted: return Tr("split into %1").arg(Placed(row));
        case batch::RowResult::Deleted: return Tr("deleted");
        case batch::RowResult::Failed: break;
    }
    if (batch::IsCancel(row.error)) return Tr("cancelled: the file being written was removed");
    return Tr("failed: %1").arg(ui::ErrorMessage(row.error));
}

}  // namespace

std::vector<std::pair<QString, QString>> ResultLines(const batch::BatchSummary& summary) {
    std::vector<std::pair<QString, QString>> lines;
    const batch::RowOutcome* previous = nullptr;
    for (const batch::RowOutcome& row : summary.rows) {
        const QString map = QString::fromStdString(row.path);
        // The level files of one map make one line.
        if (previous && previous->row == row.row && previous->result == batch::RowResult::Extracted &&
            row.result == batch::RowResult::Extracted) {
            lines.back().second += QStringLiteral(", ") + Placed(row);
        } else {
            lines.emplace_back(map, Outcome(row));
        }
        previous = &row;
    }
    return lines;
}

QString CancelledRunText() {
    return Tr("Cancelled: the maps listed were done; the others were not touched.");
}

QString MergeCancelledText() {
    return Tr("The merge was cancelled: the merged file was removed; the maps are as they were.");
}

QString ScanCancelledText(std::size_t listed) {
    return QCoreApplication::translate("batchui::Messages", "Reading the folder was cancelled: %Ln map(s) are listed.",
                                       "", static_cast<int>(listed));
}

}  // namespace batchui
