// Where the user left a window and how large: kept in the per-user settings, so the next
// run opens it there again.
#pragma once
#include "settings/settings.h"

class QWidget;

namespace ui {

// A place that is missing or unreadable leaves the window as it was built.
void RestorePlace(QWidget& window, const settings::Settings& settings, const char* key);
void RememberPlace(const QWidget& window, const settings::Settings& settings, const char* key);

}  // namespace ui
