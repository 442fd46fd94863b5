#include "ui/batch/batch_messages.h"

#include <QCoreApplication>

#include "ui/common/error_message.h"

namespace batchui {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

}  // namespace

QString WarningTitle() { return QCoreApplication::translate("batchui::Messages", "Warning"); }

QString InformationTitle() { return QCoreApplication::translate("batchui::Messages", "Information"); }

QString SummaryTitle() { return QCoreApplication::translate("batchui::Messages", "Info"); }

QString SaveSummaryText(int updated, int created, int errors) {
    return QCoreApplication::translate("batchui::Messages", "Updated OK: %1").arg(updated) + kCrLf +
           QCoreApplication::translate("batchui::Messages", "Created OK: %1").arg(created) + kCrLf +
           QCoreApplication::translate("batchui::Messages", "Errors: %1").arg(errors) + kCrLf;
}

QString SplitSummaryText(int extracted, int errors) {
    return QCoreApplication::translate("batchui::Messages", "Extracted OK: %1").arg(extracted) + kCrLf +
           QCoreApplication::translate("batchui::Messages", "Errors: %1").arg(errors) + kCrLf;
}

QString DeleteSummaryText(int errors) {
    if (errors > 0) return QCoreApplication::translate("batchui::Messages", "Delete errors.");
    return QCoreApplication::translate("batchui::Messages", "Deleted OK.");
}

QString DeleteConfirmTitle() { return WarningTitle(); }

QString ErrorTitle() { return QCoreApplication::translate("batchui::Messages", "Error"); }

QString DeleteConfirmText(std::size_t count) {
    return QCoreApplication::translate("batchui::Messages", "Delete %1 files, are you sure?.")
        .arg(static_cast<qulonglong>(count));
}

QString MergeFailureText(const QString& reason) {
    return QCoreApplication::translate("batchui::Messages", "Error merging files.") + kCrLf + reason;
}

}  // namespace batchui
