#include "ui/editor/map_view.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <cmath>

#include "settings/level_ranges.h"
#include "ui/editor/map_canvas.h"
#include "ui/editor/preview.h"

namespace ui {

double MapView::PixelsPerDegreeForScale(std::int32_t scale) {
    return settings::kMetresPerDegree / settings::ScreenMetresPerPixel(scale);
}

MapView::MapView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("mapView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* top = new QHBoxLayout;
    mode_ = new QComboBox(this);
    mode_->setObjectName(QStringLiteral("mapLevel"));
    mode_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    mode_->setMinimumContentsLength(10);
    fit_ = new QPushButton(this);
    fit_->setObjectName(QStringLiteral("mapFit"));
    top->addWidget(mode_, 1);
    top->addWidget(fit_);
    layout->addLayout(top);

    canvas_ = new MapCanvas(this);
    canvas_->setObjectName(QStringLiteral("mapCanvas"));
    layout->addWidget(canvas_, 1);

    auto* bottom = new QHBoxLayout;
    zoom_ = new QSlider(Qt::Horizontal, this);
    zoom_->setObjectName(QStringLiteral("mapZoom"));
    // Row 0 is the closest zoom; closer sits to the right, as on a zoom control.
    zoom_->setInvertedAppearance(true);
    zoom_->setInvertedControls(true);
    zoom_->setPageStep(1);
    zoomName_ = new QLabel(this);
    zoomName_->setObjectName(QStringLiteral("mapZoomName"));
    zoomName_->setMinimumWidth(zoomName_->fontMetrics().horizontalAdvance(QStringLiteral("888 km")));
    profileName_ = new QLabel(this);
    profileName_->setObjectName(QStringLiteral("mapProfile"));
    bottom->addWidget(zoom_, 1);
    bottom->addWidget(zoomName_);
    bottom->addWidget(profileName_);
    layout->addLayout(bottom);

    tileFacts_ = new QLabel(this);
    tileFacts_->setObjectName(QStringLiteral("mapTileFacts"));
    // A long line must not widen the window while the pointer moves.
    tileFacts_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(tileFacts_);

    connect(mode_, &QComboBox::currentIndexChanged, this, &MapView::ShowDrawnLevel);
    connect(fit_, &QPushButton::clicked, canvas_, &MapCanvas::Fit);
    connect(zoom_, &QSlider::valueChanged, this, &MapView::OnRowPicked);
    connect(canvas_, &MapCanvas::ZoomChanged, this, &MapView::OnZoomChanged);
    connect(canvas_, &MapCanvas::Hovered, this, &MapView::OnHovered);
    ApplyCaptions();
    Clear();
}

void MapView::ApplyCaptions() {
    fit_->setText(tr("Fit the map"));
    profileName_->setText(profile_.custom ? tr("as on units of factor %L1").arg(profile_.factor)
                                          : tr("as on %1 units").arg(QString::fromUtf8(profile_.name)));
    profileName_->setToolTip(QString::fromUtf8(profile_.units));
    FillModes(mode_->count() - 1);
    ShowDrawnLevel();
}

void MapView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) ApplyCaptions();
    QWidget::changeEvent(event);
}

void MapView::FillModes(int levels) {
    const QSignalBlocker quiet(mode_);
    const int chosen = std::max(mode_->currentIndex(), 0);
    mode_->clear();
    mode_->addItem(tr("As the device shows it"));
    for (int k = 1; k <= levels; ++k) mode_->addItem(tr("Level %1").arg(k));
    mode_->setCurrentIndex(std::min(chosen, mode_->count() - 1));
}

void MapView::SetZoomTable(const std::vector<settings::ZoomLevelEntry>& table) {
    table_ = table;
    const QSignalBlocker quiet(zoom_);
    zoom_->setRange(0, std::max(0, static_cast<int>(table_.size()) - 1));
    OnZoomChanged();
}

void MapView::SetDeviceProfile(const settings::DeviceProfile& profile) {
    profile_ = profile;
    ApplyCaptions();
}

int MapView::CoarsestShownRow() const {
    for (int row = static_cast<int>(table_.size()) - 1; row >= 0; --row)
        if (settings::LevelDrawnAt(table_, scales_, row, profile_.factor) >= 0) return row;
    return -1;
}

void MapView::ShowMap(const jnx::JnxDocument& doc) {
    scales_.clear();
    for (const jnx::JnxLevel& level : doc.Levels) scales_.push_back(level.Scale);
    {
        const QSignalBlocker quiet(mode_);
        mode_->setCurrentIndex(0);
    }
    FillModes(static_cast<int>(doc.Levels.size()));
    setEnabled(true);
    tileFacts_->clear();
    canvas_->ShowMap(doc);  // fits, which sets the slider
    // Opening on "nothing shown" would tell the user nothing: the map opens where the
    // device first draws it, centred as fitted.
    const int row = CoarsestShownRow();
    if (row >= 0 && settings::LevelDrawnAt(table_, scales_, zoom_->value(), profile_.factor) < 0) {
        zoom_->setValue(row);
        tileFacts_->setText(tr("Shown from %1 on, the widest zoom where the device draws this map")
                                .arg(QString::fromStdString(table_[static_cast<std::size_t>(row)].Name)));
    }
    ShowDrawnLevel();
}

void MapView::Clear() {
    scales_.clear();
    FillModes(0);
    canvas_->Clear();
    tileFacts_->clear();
    setEnabled(false);
    ShowDrawnLevel();
}

void MapView::SetLevelScales(const std::vector<std::int32_t>& scales) {
    scales_ = scales;
    ShowDrawnLevel();
}

void MapView::ShowDrawnLevel() {
    const int row = zoom_->value();
    const bool rowKnown = row >= 0 && row < static_cast<int>(table_.size());
    zoomName_->setText(rowKnown ? QString::fromStdString(table_[static_cast<std::size_t>(row)].Name) : QString());
    if (canvas_->Levels().empty()) {
        canvas_->SetDrawnLevel(-1, QString());
        return;
    }
    if (mode_->currentIndex() > 0) {
        canvas_->SetDrawnLevel(mode_->currentIndex() - 1, QString());
        return;
    }
    const int level = settings::LevelDrawnAt(table_, scales_, row, profile_.factor);
    canvas_->SetDrawnLevel(level, level < 0 ? NothingShownText(row) : QString());
}

QString MapView::NothingShownText(int row) const {
    // The nearest row where the device draws something tells the user which way to go.
    const int rows = static_cast<int>(table_.size());
    for (int apart = 1; apart < rows; ++apart) {
        for (const int other : {row - apart, row + apart}) {
            if (other < 0 || other >= rows || settings::LevelDrawnAt(table_, scales_, other, profile_.factor) < 0)
                continue;
            const QString name = QString::fromStdString(table_[static_cast<std::size_t>(other)].Name);
            return tr("nothing shown at this zoom") + QLatin1Char('\n') +
                   (other < row ? tr("zoom in to %1 to see the map") : tr("zoom out to %1 to see the map")).arg(name);
        }
    }
    return tr("nothing shown at this zoom");
}

void MapView::OnRowPicked(int row) {
    tileFacts_->clear();  // it named a tile, or the row the map opened at
    if (row >= 0 && row < static_cast<int>(table_.size()))
        canvas_->SetPixelsPerDegree(PixelsPerDegreeForScale(table_[static_cast<std::size_t>(row)].StandardScale));
    ShowDrawnLevel();
}

void MapView::OnZoomChanged() {
    if (table_.empty()) return;
    // The row whose ground metres per screen pixel are nearest the zoom reached, as a ratio.
    const double metres = settings::kMetresPerDegree / canvas_->PixelsPerDegree();
    int nearest = 0;
    double best = 1e300;
    for (std::size_t row = 0; row < table_.size(); ++row) {
        const double apart = std::abs(std::log(metres / settings::ScreenMetresPerPixel(table_[row].StandardScale)));
        if (apart < best) {
            best = apart;
            nearest = static_cast<int>(row);
        }
    }
    {
        const QSignalBlocker quiet(zoom_);
        zoom_->setValue(nearest);
    }
    ShowDrawnLevel();
}

void MapView::OnHovered(int level, int tile) {
    if (level < 0 || tile < 0) {
        tileFacts_->clear();
        return;
    }
    const MapCanvas::Level& facts = canvas_->Levels()[static_cast<std::size_t>(level)];
    const MapCanvas::TileSource& source = facts.sources[static_cast<std::size_t>(tile)];
    tileFacts_->setText(
        tr("Level %1 - tile %2 of %3 - %4 × %5 px - %6 bytes")
            .arg(level + 1)
            .arg(GroupedNumber(tile + 1), GroupedNumber(static_cast<std::int64_t>(facts.sources.size())))
            .arg(GroupedNumber(source.width))
            .arg(GroupedNumber(source.height))
            .arg(GroupedNumber(std::int64_t(source.size) + 2)));
}

}  // namespace ui
