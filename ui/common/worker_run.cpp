#include "ui/common/worker_run.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProgressBar>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "ui/common/language.h"

namespace ui {

namespace {

constexpr int kBarSteps = 1000;
// Short work finishes before the dialog would only flash.
constexpr int kShowAfterMs = 400;
constexpr int kTickMs = 100;

QString Tr(const char* text) { return QCoreApplication::translate("ui::Worker", text); }

}  // namespace

double WorkerReport::Fraction() const {
    const std::int64_t total = bytesTotal_;
    const double file = total > 0 ? std::clamp(double(bytesDone_) / double(total), 0.0, 1.0) : 0.0;
    const int steps = stepsTotal_;
    if (steps <= 0) return file;
    return std::clamp((double(stepsDone_) + file) / double(steps), 0.0, 1.0);
}

void RunWithProgress(QWidget* parent, const QString& label, WorkerReport& report, const std::function<void()>& work,
                     QProgressBar* mirror) {
    QProgressDialog dialog(label, Tr("Cancel"), 0, kBarSteps, parent);
    dialog.setObjectName(QStringLiteral("workProgress"));
    dialog.setWindowTitle(QCoreApplication::applicationName());
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(kShowAfterMs);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    if (mirror) mirror->setRange(0, kBarSteps);
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&] {
        report.Cancel();
        // The work stops at its next safe point, which may be a moment away.
        dialog.setLabelText(Tr("Stopping…"));
        dialog.setCancelButton(nullptr);
        dialog.show();
    });

    QTimer tick;
    tick.setInterval(kTickMs);
    QObject::connect(&tick, &QTimer::timeout, &dialog, [&] {
        const int value = static_cast<int>(report.Fraction() * kBarSteps);
        if (mirror) mirror->setValue(value);
        if (report.CancelRequested()) return;
        QString text = label;
        if (report.StepsTotal() > 0)
            text += QLatin1Char('\n') +
                    Tr("%L1 of %L2 maps done").arg(Number(report.StepsDone()), Number(report.StepsTotal()));
        if (dialog.labelText() != text) dialog.setLabelText(text);
        dialog.setValue(value);
    });

    QEventLoop loop;
    std::unique_ptr<QThread> thread(QThread::create(work));
    // Queued: the thread ends on its own side; the loop hears it once it runs.
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    thread->start();
    tick.start();
    loop.exec();
    thread->wait();
    if (mirror) mirror->setValue(kBarSteps);
}

}  // namespace ui
