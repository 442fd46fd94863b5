#include "ui/common/device_check_line.h"

#include <QCoreApplication>
#include <QStringList>

#include "ui/common/language.h"

namespace ui {

DeviceCheckLine::DeviceCheckLine(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("lblDeviceCheck"));
    setWordWrap(true);
}

namespace {

QString Warnings(int n) { return DeviceCheckLine::tr("%Ln warning(s)", "", n); }
QString Errors(int n) { return DeviceCheckLine::tr("%Ln error(s)", "", n); }
QString Notes(int n) { return DeviceCheckLine::tr("%Ln note(s)", "", n); }
int Count(const std::vector<check::Finding>& findings, check::Severity severity) {
    return static_cast<int>(check::CountOf(findings, severity));
}

}  // namespace

QString DeviceCheckLine::Counts(const std::vector<check::Finding>& findings) {
    const int errors = Count(findings, check::Severity::Error);
    const int warnings = Count(findings, check::Severity::Warning);
    const int notes = Count(findings, check::Severity::Info);
    QStringList counts;
    if (errors > 0) counts << Errors(errors);
    if (warnings > 0) counts << Warnings(warnings);
    // Notes never keep a map from the device: they follow the "OK".
    if (counts.isEmpty()) counts << tr("OK");
    if (notes > 0) counts << Notes(notes);
    return counts.join(QStringLiteral(", "));
}

QString DeviceCheckLine::Summary(const std::vector<check::Finding>& findings) {
    if (Count(findings, check::Severity::Info) < static_cast<int>(findings.size()))
        return tr("Device: %1").arg(Counts(findings));
    return findings.empty() ? tr("Ready for the device")
                            : tr("Ready for the device (%1)").arg(Notes(static_cast<int>(findings.size())));
}

QString DeviceCheckLine::Details(const std::vector<check::Finding>& findings, int most) {
    QStringList lines;
    for (const auto& finding : findings) {
        if (lines.size() == most) {
            lines << tr("… and %L1 more").arg(Number(static_cast<qint64>(findings.size()) - most));
            break;
        }
        QString where;
        if (finding.level > 0) where = tr("level %1").arg(finding.level);
        if (finding.tile > 0) where += tr(", tile %L1").arg(Number(finding.tile));
        const check::Severity severity = check::SeverityOf(finding.code);
        const std::string text = check::FindingText(
            finding,
            [](const char* english) { return QCoreApplication::translate("check::Finding", english).toStdString(); },
            [](std::int64_t value, check::NumberKind kind) {
                if (kind == check::NumberKind::Identifier) return std::to_string(value);
                return (kind == check::NumberKind::Count ? Number(value) : Number(double(value) / 1e6, 6))
                    .toStdString();
            });
        // The code, as scripts and the guide name it, stands apart at the end, so that the
        // sentence before it is in the user's language alone.
        lines << QStringLiteral("%1%2: %3 [%4]")
                     .arg(severity == check::Severity::Error     ? tr("error")
                          : severity == check::Severity::Warning ? tr("warning")
                                                                 : tr("note"),
                          where.isEmpty() ? QString() : QStringLiteral(" (") + where + QLatin1Char(')'),
                          QString::fromStdString(text), QString::fromLatin1(check::CodeName(finding.code)));
    }
    return lines.join(QLatin1Char('\n'));
}

void DeviceCheckLine::Show(const std::vector<check::Finding>& findings) {
    findings_ = findings;
    judged_ = true;
    setText(Summary(findings));
    setToolTip(Details(findings));
    const bool errors = check::HasErrors(findings);
    const bool warnings = check::CountOf(findings, check::Severity::Warning) > 0;
    setStyleSheet(errors     ? QStringLiteral("color: #b00000;")
                  : warnings ? QStringLiteral("color: #8a5a00;")
                             : QString());
    show();
}

void DeviceCheckLine::ShowUnjudged(const QString& reason) {
    findings_.clear();
    judged_ = false;
    setText(tr("Device: not checked until the edits can be saved"));
    setToolTip(reason);
    setStyleSheet(QStringLiteral("color: #8a5a00;"));
    show();
}

void DeviceCheckLine::ShowNothing() {
    findings_.clear();
    judged_ = false;
    clear();
    setToolTip(QString());
}

}  // namespace ui
