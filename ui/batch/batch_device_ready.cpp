// Make device-ready over the checked maps: each one mended without loss for the device in
// a new file beside it, one after the other on the worker thread, then one summary with a
// line per map.
#include <QFileInfo>
#include <QStringList>

#include "operations/fit_map.h"
#include "platform/fs.h"
#include "ui/batch/batch_messages.h"
#include "ui/batch/batch_model.h"
#include "ui/batch/batch_panel.h"
#include "ui/batch/batch_window.h"
#include "ui/batch/batch_work.h"
#include "ui/common/device_profile_box.h"
#include "ui/common/device_ready.h"
#include "ui/common/language.h"
#include "ui/common/replace_question.h"

namespace batchui {

void BatchWindow::OnMakeDeviceReady() {
    if (running_) return;
    const batch::Selection checked = model_->Checked();
    if (checked.empty()) {
        Refuse(platform::Error(platform::ErrorCode::RefuseNoneChecked));
        return;
    }
    std::vector<std::string> sources, inTheWay;
    for (const std::size_t row : checked) {
        sources.push_back(table_.rows[row].path);
        const std::string output = operations::FitOutputPath(sources.back());
        if (platform::NameTaken(output)) inTheWay.push_back(output);
    }
    // Asked for every map at once, before the run: a map that turns out ready leaves its
    // earlier output as it is.
    if (!ui::MayReplaceFiles(presenter_, inTheWay)) return;
    const double factor = panel_->deviceProfile->Profile().factor;
    SetRunning(true);
    std::vector<operations::FitOutcome> outcomes;
    RunWork(tr("Making the checked maps device-ready"), [&](BatchWork& report) {
        for (std::size_t i = 0; i < sources.size() && !report.CancelRequested(); ++i) {
            report.Steps(int(i), int(sources.size()));
            operations::FitRequest request;
            request.source = sources[i];
            request.overwrite = !inTheWay.empty();
            request.scaleFactor = factor;
            request.zoomRows = &tables_.ZoomTable;
            outcomes.push_back(operations::FitMap(request, &report));
        }
    });
    LoadRows(table_.folder, table_.recursive);
    SetRunning(false);
    int written = 0, ready = 0, left = 0, errors = 0;
    ui::Message message{ui::MessageIcon::Information, ui::MessageButtons::Ok, {}};
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        const operations::FitOutcome& outcome = outcomes[i];
        const bool cancelled = outcome.error.code == platform::ErrorCode::Cancelled;
        errors += !outcome.Ok() && !cancelled;
        written += outcome.result == operations::FitOutcome::Result::Written;
        ready += outcome.result == operations::FitOutcome::Result::Ready;
        left += outcome.Ok() && !outcome.Ready();
        message.results.emplace_back(QFileInfo(QString::fromStdString(sources[i])).fileName(),
                                     ui::DeviceReadyLine(outcome));
    }
    message.text =
        QStringList{tr("Made device-ready: %L1").arg(ui::Number(written - left)),
                    tr("Already ready: %L1").arg(ui::Number(ready)), tr("Still not ready: %L1").arg(ui::Number(left)),
                    tr("Errors: %L1").arg(ui::Number(errors))}
            .join(QLatin1Char('\n'));
    if (outcomes.size() < sources.size() ||
        (!outcomes.empty() && outcomes.back().error.code == platform::ErrorCode::Cancelled))
        message.text += QLatin1Char('\n') + CancelledRunText();
    if (errors > 0)
        message.icon = ui::MessageIcon::Critical;
    else if (left > 0)
        message.icon = ui::MessageIcon::Warning;
    presenter_.Show(message);
}

}  // namespace batchui
