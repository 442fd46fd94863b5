#include "ui/common/device_ready.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <set>

#include "ui/common/device_check_line.h"
#include "ui/common/error_message.h"
#include "ui/common/language.h"

namespace ui {

namespace {

using operations::FitOutcome;
using operations::FitRepair;

QString Tr(const char* text, int n = -1) { return QCoreApplication::translate("ui::DeviceReady", text, nullptr, n); }

QString RepairText(const FitRepair& r) {
    switch (r.kind) {
        case FitRepair::Kind::JoinedLevel:
            return Tr("Level %1: %L2 tiles joined %3 × %3 into %L4")
                .arg(r.level)
                .arg(Number(r.before))
                .arg(r.factor)
                .arg(Number(r.after));
        case FitRepair::Kind::Baseline:
            return Tr("%Ln progressive tile(s) written as baseline", int(r.after));
        case FitRepair::Kind::StrippedSoi:
            return Tr("%Ln tile(s) stripped of their FF D8", int(r.after));
        case FitRepair::Kind::ProductIdCopy:
            return Tr("The product ID's copy put in step");
        case FitRepair::Kind::DrawOrder:
            return Tr("Draw order %1 clamped to %2").arg(r.before).arg(r.after);
    }
    return {};
}

// What the user can do about what is left, where another command does it.
QStringList Suggestions(const std::vector<check::Finding>& left) {
    std::set<check::FindingCode> codes;
    for (const check::Finding& f : left) codes.insert(f.code);
    QStringList hints;
    if (codes.count(check::FindingCode::LevelsOverLimit)) hints << Tr("Split JNX writes levels as maps of their own.");
    if (codes.count(check::FindingCode::ScaleDuplicate) || codes.count(check::FindingCode::ZoomDuplicate))
        hints << Tr("Fit scales gives each level a scale of its own.");
    return hints;
}

QString Section(const QString& title, const QStringList& lines) {
    if (lines.isEmpty()) return {};
    return QStringLiteral("\n\n") + title + QStringLiteral("\n• ") + lines.join(QStringLiteral("\n• "));
}

}  // namespace

QString DeviceReadyCaption() { return Tr("Make device-ready"); }

QString DeviceReadyTip(const QString& profile) {
    return Tr("Mend without loss what keeps the map from the %1 units, in a new file NAME_fit.jnx beside it")
        .arg(profile);
}

Message DeviceReadyMessage(const QString& source, const FitOutcome& outcome) {
    const QString name = QFileInfo(source).fileName();
    switch (outcome.result) {
        case FitOutcome::Result::Failed:
            if (outcome.error.code == platform::ErrorCode::Cancelled)
                return {MessageIcon::Information, MessageButtons::Ok, Tr("Cancelled: nothing was written.")};
            return {
                MessageIcon::Critical, MessageButtons::Ok,
                Tr("%1 could not be made device-ready:").arg(source) + QLatin1Char('\n') + ErrorMessage(outcome.error)};
        case FitOutcome::Result::Ready:
            return {MessageIcon::Information, MessageButtons::Ok,
                    Tr("%1 is ready for the device: nothing to do, nothing written.").arg(name)};
        case FitOutcome::Result::Written:
        case FitOutcome::Result::Unmendable:
            break;
    }
    QStringList mended, notMended;
    for (const FitRepair& r : outcome.repairs) mended << RepairText(r);
    for (const platform::Error& note : outcome.notes) notMended << ErrorMessage(note);
    const bool written = outcome.result == FitOutcome::Result::Written;
    QString text = written ? Tr("Written: %1").arg(QString::fromStdString(outcome.output))
                           : Tr("Nothing in %1 can be mended without loss; nothing written.").arg(name);
    text += Section(Tr("Mended:"), mended) + Section(Tr("Not mended:"), notMended);
    if (!outcome.left.empty())
        text += QStringLiteral("\n\n") + Tr("Still found:") + QLatin1Char('\n') +
                DeviceCheckLine::Details(outcome.left, 10);
    text += Section(Tr("What to do:"), Suggestions(outcome.left));
    return {outcome.Ready() ? MessageIcon::Information : MessageIcon::Warning, MessageButtons::Ok, text};
}

QString DeviceReadyLine(const FitOutcome& outcome) {
    switch (outcome.result) {
        case FitOutcome::Result::Failed:
            return Tr("failed: %1").arg(ErrorMessage(outcome.error));
        case FitOutcome::Result::Ready:
            return Tr("ready; nothing written");
        case FitOutcome::Result::Unmendable:
            return Tr("nothing can be mended without loss");
        case FitOutcome::Result::Written:
            break;
    }
    const QString output = QFileInfo(QString::fromStdString(outcome.output)).fileName();
    return outcome.Ready() ? Tr("made device-ready: %1").arg(output)
                           : Tr("partly mended: %1; %2").arg(output, DeviceCheckLine::Counts(outcome.left));
}

}  // namespace ui
