// What "Make device-ready" says in both windows: the command's caption, and each map's
// outcome of operations::FitMap worded in the user's language, so that the editor's box
// and the batch window's results list say the same thing the same way.
#pragma once
#include <QString>

#include "operations/fit_map.h"
#include "ui/common/message_presenter.h"

namespace ui {

QString DeviceReadyCaption();
// profile: the device profile in use, which the tip names.
QString DeviceReadyTip(const QString& profile);

// The box for one map: a result when the map is ready for the device (written or as it
// was), a refusal when something is left that cannot be mended without loss, an error
// when the run failed.
Message DeviceReadyMessage(const QString& source, const operations::FitOutcome& outcome);

// One line of a results list: what was done to the map.
QString DeviceReadyLine(const operations::FitOutcome& outcome);

}  // namespace ui
