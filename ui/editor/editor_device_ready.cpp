// Make device-ready: the loaded map, as saved, mended without loss for the device in a new
// file beside it, on the worker thread like save and split.
#include <QFileInfo>

#include "operations/fit_map.h"
#include "ui/common/device_profile_box.h"
#include "ui/common/device_ready.h"
#include "ui/common/replace_question.h"
#include "ui/common/worker_run.h"
#include "ui/editor/editor_window.h"

namespace ui {

void EditorWindow::OnMakeDeviceReady() {
    if (running_) return;
    if (doc_.FileName.empty()) {
        Refuse(tr("Need to load a JNX file."));
        return;
    }
    const QString map = QString::fromStdString(doc_.FileName);
    if (HasUnsavedEdits() &&
        !presenter_.Question(tr("Make device-ready works on %1 as saved, without the changes not yet saved. Go on?")
                                 .arg(QFileInfo(map).fileName())))
        return;
    operations::FitRequest request;
    request.source = doc_.FileName;
    // Scales are judged under the profile picked beside the device line.
    request.scaleFactor = deviceProfile_->Profile().factor;
    request.zoomRows = &tables_.ZoomTable;
    operations::FitOutcome outcome;
    const auto run = [&] {
        SetRunning(true);
        WorkerReport report;
        RunWithProgress(this, tr("Making %1 device-ready").arg(QFileInfo(map).fileName()), report,
                        [&] { outcome = operations::FitMap(request, &report); });
        SetRunning(false);
    };
    run();
    // A ready map is told so before anything is asked: only a map to mend meets the name.
    if (outcome.error.code == platform::ErrorCode::OutputExists) {
        if (!MayReplaceFiles(presenter_, {operations::FitOutputPath(request.source)})) return;
        request.overwrite = true;
        run();
    }
    presenter_.Show(DeviceReadyMessage(map, outcome));
}

}  // namespace ui
