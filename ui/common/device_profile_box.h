// The device profile picker both windows show: the families of units, and beside them the
// custom profile's threshold factor. What it shows is [Device] Profile and [Device]
// Factor, written as the user picks, so the command line and the other window follow.
#pragma once
#include <QWidget>

#include "platform/error.h"
#include "settings/scale_model.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;

namespace ui {

class DeviceProfileBox : public QWidget {
    Q_OBJECT
public:
    DeviceProfileBox(const settings::Settings& settings, QWidget* parent = nullptr);

    // The profile picked, with the factor the box shows for the custom one: the windows'
    // answer even when the settings could not be written.
    settings::DeviceProfile Profile() const;
    // Shows what the settings hold now (the other window may have changed them); a
    // change is announced as a pick is.
    void Reload();

    QLabel* lblDevice = nullptr;
    QComboBox* cboDevice = nullptr;
    QDoubleSpinBox* spnFactor = nullptr;

signals:
    void ProfileChanged(const settings::DeviceProfile& profile);
    // The pick holds for this run; the settings file said no.
    void StoreFailed(const platform::Error& error);

protected:
    void changeEvent(QEvent* event) override;

private:
    void ApplyCaptions();
    void Picked();

    const settings::Settings& settings_;
    QString shown_;  // the profile and factor last announced, to announce only changes
};

}  // namespace ui
