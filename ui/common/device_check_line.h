// One line that says whether a map is ready for the device: "Ready for the device", or
// how many warnings and errors the device check found, with the findings on hover.
#pragma once
#include <QLabel>
#include <vector>

#include "check/findings.h"

namespace ui {

class DeviceCheckLine : public QLabel {
    Q_OBJECT
public:
    explicit DeviceCheckLine(QWidget* parent = nullptr);
    void Show(const std::vector<check::Finding>& findings);
    // The map cannot be judged as it stands (reason on hover): never shown as ready.
    void ShowUnjudged(const QString& reason);
    // No map: the line is empty.
    void ShowNothing();
    // What the line shows now: its findings, and whether they judge the map at all.
    const std::vector<check::Finding>& Findings() const { return findings_; }
    bool Judged() const { return judged_; }

    // "OK", or how many errors and warnings: the batch grid's Device column.
    static QString Counts(const std::vector<check::Finding>& findings);
    // The line's text: "Ready for the device" or "Device: " and the counts.
    static QString Summary(const std::vector<check::Finding>& findings);
    // One finding per line ("level 2, tile 7: ..."), at most `most` of them.
    static QString Details(const std::vector<check::Finding>& findings, int most = 20);

private:
    std::vector<check::Finding> findings_;
    bool judged_ = false;
};

}  // namespace ui
