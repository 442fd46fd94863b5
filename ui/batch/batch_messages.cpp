#include "ui/batch/batch_messages.h"

#include <QCoreApplication>

#include "ui/common/error_message.h"

namespace batchui {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

platform::ErrorCode CodeOf(batch::Refusal refusal) {
    using platform::ErrorCode;
    switch (refusal) {
        case batch::Refusal::None: return ErrorCode::None;
        case batch::Refusal::NoRows: return ErrorCode::RefuseNoFolder;
        case batch::Refusal::ErroneousChecked: return ErrorCode::RefuseErroneousChecked;
        case batch::Refusal::InvalidFilename: return ErrorCode::RefuseInvalidFilename;
        case batch::Refusal::BadDrawOrder: return ErrorCode::RefuseBadDrawOrder;
        case batch::Refusal::NoneChecked: return ErrorCode::RefuseNoneChecked;
        case batch::Refusal::NothingToDelete: return ErrorCode::RefuseNothingToDelete;
        case batch::Refusal::SingleLevelSplit: return ErrorCode::RefuseSingleLevelSplit;
        case batch::Refusal::NothingToSplit: return ErrorCode::RefuseNothingToSplit;
    }
    return ErrorCode::None;
}

platform::ErrorCode CodeOf(compose::MergeMessage message) {
    using platform::ErrorCode;
    switch (message) {
        case compose::MergeMessage::NoDirectory: return ErrorCode::RefuseNoFolder;
        case compose::MergeMessage::ErroneousFile: return ErrorCode::RefuseErroneousChecked;
        case compose::MergeMessage::VersionConflict: return ErrorCode::RefuseMergeVersions;
        case compose::MergeMessage::TooFewFiles: return ErrorCode::RefuseMergeTooFew;
        case compose::MergeMessage::TooManyLevels: return ErrorCode::RefuseMergeTooManyLevels;
        case compose::MergeMessage::DifferentArea: return ErrorCode::RefuseMergeDifferentArea;
    }
    return ErrorCode::None;
}

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

QString DeleteConfirmTitle() {
    // "Aviso" in English too.
    return QCoreApplication::translate("batchui::Messages", "Aviso", "title of the delete question");
}

QString DeleteConfirmText(std::size_t count) {
    return QCoreApplication::translate("batchui::Messages", "Delete %1 files, are you sure?.")
        .arg(static_cast<qulonglong>(count));
}

QString MergeFailureText(const QString& reason) {
    return QCoreApplication::translate("batchui::Messages", "Error merging files.") + kCrLf + reason;
}

QString RefusalText(batch::Refusal refusal) { return ui::ErrorMessage(platform::Error(CodeOf(refusal))); }

QString MergeRefusalText(const compose::MergeRefusal& refusal) {
    return ui::ErrorMessage(platform::Error(CodeOf(refusal.id)).Value(refusal.levelTotal));
}

QString MergeFailureText(const compose::MergeFailure& failure) {
    using platform::Error;
    using platform::ErrorCode;
    switch (failure.kind) {
        case compose::MergeFailureKind::Loading:
            return MergeFailureText(ui::ErrorMessage(Error(ErrorCode::MergeLoading).File(failure.path)));
        case compose::MergeFailureKind::LoadingFull:
            // The reader's reason is English text today, not an error value to word.
            return MergeFailureText(ui::ErrorMessage(Error(ErrorCode::MergeLoadingFull).File(failure.path)) +
                                    QString::fromStdString(failure.detail));
        case compose::MergeFailureKind::Checkpoint:
            return MergeFailureText(ui::ErrorMessage(Error(ErrorCode::MergeCheckpoint)));
        case compose::MergeFailureKind::Other:
            break;
    }
    return MergeFailureText(QString::fromStdString(failure.detail));
}

}  // namespace batchui
