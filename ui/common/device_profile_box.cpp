#include "ui/common/device_profile_box.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>

namespace ui {

namespace {

QString Key(const settings::DeviceProfile& profile) {
    return QString::fromUtf8(profile.name) + QLatin1Char('/') + QString::number(profile.factor, 'g', 17);
}

}  // namespace

DeviceProfileBox::DeviceProfileBox(const settings::Settings& settings, QWidget* parent)
    : QWidget(parent), settings_(settings) {
    setObjectName(QStringLiteral("DeviceProfileBox"));
    lblDevice = new QLabel(this);
    cboDevice = new QComboBox(this);
    cboDevice->setObjectName(QStringLiteral("cboDevice"));
    for (const settings::DeviceProfile& profile : settings::DeviceProfiles())
        cboDevice->addItem(QString::fromUtf8(profile.name));
    spnFactor = new QDoubleSpinBox(this);
    spnFactor->setObjectName(QStringLiteral("spnFactor"));
    spnFactor->setRange(settings::kMinDeviceFactor, settings::kMaxDeviceFactor);
    spnFactor->setDecimals(2);
    spnFactor->setSingleStep(0.1);
    spnFactor->setPrefix(QStringLiteral("× "));
    lblDevice->setBuddy(cboDevice);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(lblDevice);
    row->addWidget(cboDevice, 1);
    row->addWidget(spnFactor);
    ApplyCaptions();
    Reload();
    connect(cboDevice, &QComboBox::currentIndexChanged, this, &DeviceProfileBox::Picked);
    // Typing "2.5" passes through 2 and 2.5: the settings follow each, the windows show each.
    connect(spnFactor, &QDoubleSpinBox::valueChanged, this, &DeviceProfileBox::Picked);
}

settings::DeviceProfile DeviceProfileBox::Profile() const {
    const auto profiles = settings::DeviceProfiles();
    const int index = cboDevice->currentIndex();
    settings::DeviceProfile profile = index >= 0 && std::size_t(index) < profiles.size()
                                          ? profiles[std::size_t(index)]
                                          : settings::DefaultDeviceProfile();
    if (profile.custom) profile.factor = spnFactor->value();
    return profile;
}

void DeviceProfileBox::Reload() {
    const settings::DeviceProfile stored = settings::DeviceProfileOrDefault(settings_);
    {
        const QSignalBlocker quietList(cboDevice), quietFactor(spnFactor);
        cboDevice->setCurrentIndex(cboDevice->findText(QString::fromUtf8(stored.name)));
        spnFactor->setValue(settings::StoredDeviceFactor(settings_));
    }
    const settings::DeviceProfile profile = Profile();
    spnFactor->setEnabled(profile.custom);
    cboDevice->setToolTip(QString::fromUtf8(profile.units));
    const QString key = Key(profile);
    if (!shown_.isEmpty() && key != shown_) {
        shown_ = key;
        emit ProfileChanged(profile);
    }
    shown_ = key;
}

void DeviceProfileBox::Picked() {
    const settings::DeviceProfile profile = Profile();
    spnFactor->setEnabled(profile.custom);
    cboDevice->setToolTip(QString::fromUtf8(profile.units));
    if (Key(profile) == shown_) return;
    shown_ = Key(profile);
    if (const platform::Error error = settings::StoreDeviceProfile(settings_, profile)) emit StoreFailed(error);
    emit ProfileChanged(profile);
}

void DeviceProfileBox::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) ApplyCaptions();
    QWidget::changeEvent(event);
}

void DeviceProfileBox::ApplyCaptions() {
    lblDevice->setText(tr("Device"));
    spnFactor->setToolTip(
        tr("The custom profile's threshold factor: the zoom rows' scales are multiplied by it "
           "before they are compared with the levels' (1 for most units, 3.5 for the GPSMAP 67)"));
}

}  // namespace ui
