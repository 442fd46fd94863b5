// "Check as device": the folder loaded is the mount point of a unit's memory or card, and
// what no one map shows is judged across its maps and Custom Maps images.
#include "ui/batch/batch_window.h"

#include <QCoreApplication>
#include <QProgressBar>

#include "operations/check_maps.h"
#include "ui/batch/batch_panel.h"
#include "ui/batch/batch_work.h"
#include "ui/common/device_check_line.h"
#include "ui/common/device_profile_box.h"
#include "ui/common/error_message.h"

namespace batchui {

void BatchWindow::OnCheckDevice() {
    if (running_) return;
    if (table_.folder.empty()) {
        Refuse(platform::Error(platform::ErrorCode::RefuseNoFolder));
        return;
    }
    const std::string root = table_.folder;
    const settings::DeviceProfile profile = panel_->deviceProfile->Profile();
    const std::vector<settings::ZoomLevelEntry> zooms = tables_.ZoomTable;
    SetRunning(true);
    operations::CheckOutcome outcome;
    RunWork(tr("Checking %1 as a device").arg(QString::fromStdString(root)),
            [&](BatchWork&) { outcome = operations::CheckMaps({}, false, false, &zooms, profile, {root}); });
    SetRunning(false);
    ProgressBar1->setRange(0, 1);  // nothing was loaded or written: the bar does not stay full
    ProgressBar1->setValue(0);
    if (outcome.deviceError || !outcome.device) {
        presenter_.Error(ui::ErrorMessage(outcome.deviceError));
        return;
    }

    // The device's own findings first, then each map's, one line each.
    const check::DeviceRootsReport& device = *outcome.device;
    std::vector<check::Finding> all = device.findings;
    ui::Message message;
    message.resultsHeader = {QCoreApplication::translate("ui::Results", "Map"), tr("Found")};
    const QString deviceName = tr("(the device)");
    for (const check::Finding& finding : device.findings)
        message.results.emplace_back(deviceName, ui::DeviceCheckLine::Details({finding}));
    for (const std::string& file : device.unreadable)
        message.results.emplace_back(QString::fromStdString(file), tr("not counted: cannot be read"));
    for (const check::MapReport& map : outcome.maps) {
        const QString name = QString::fromStdString(map.path);
        if (!map.read) message.results.emplace_back(name, ui::ErrorMessage(map.error));
        if (map.read && map.findings.empty()) message.results.emplace_back(name, ui::DeviceCheckLine::Summary({}));
        for (const check::Finding& finding : map.findings)
            message.results.emplace_back(name, ui::DeviceCheckLine::Details({finding}));
        all.insert(all.end(), map.findings.begin(), map.findings.end());
    }
    const bool failed = !outcome.Ok() || check::HasErrors(all);
    message.icon = failed ? ui::MessageIcon::Critical : ui::MessageIcon::Information;
    message.text = tr("%1 as a device of the profile %2: %Ln map(s)", "", static_cast<int>(device.maps.size()))
                       .arg(QString::fromStdString(root), QString::fromUtf8(profile.name)) +
                   tr(", %Ln Custom Maps image(s).", "", static_cast<int>(device.images)) + QLatin1Char('\n') +
                   ui::DeviceCheckLine::Summary(all);
    presenter_.Show(message);
}

}  // namespace batchui
