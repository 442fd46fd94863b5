#include "ui/common/window_place.h"

#include <QByteArray>
#include <QWidget>

namespace ui {

namespace {

constexpr const char* kSection = "Windows";

}  // namespace

void RestorePlace(QWidget& window, const settings::Settings& settings, const char* key) {
    const std::string stored = settings.ReadSetting(kSection, key);
    if (stored.empty()) return;
    window.restoreGeometry(QByteArray::fromHex(QByteArray::fromStdString(stored)));
}

void RememberPlace(const QWidget& window, const settings::Settings& settings, const char* key) {
    // Hex keeps the value free of the characters an ini line gives meaning to. A failed
    // write costs only the place; the window closes as asked.
    (void)settings.WriteSetting(kSection, key, window.saveGeometry().toHex().toStdString());
}

}  // namespace ui
