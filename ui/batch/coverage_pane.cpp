#include "ui/batch/coverage_pane.h"

#include <QFontMetrics>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <iterator>

namespace batchui {

namespace {

constexpr int kPadding = 6;       // pixels between the frame and the drawing
constexpr double kMargin = 0.06;  // share of the drawing left around the union
constexpr int kFillAlpha = 56;    // low enough that three maps on one spot still read apart

// Hues far apart, so two outlines that cross are told apart; no red, which the grid
// keeps for a file in trouble.
QColor MapColour(int colour) {
    static constexpr QRgb kColours[] = {0x1f77b4, 0x2ca02c, 0xff7f0e, 0x9467bd, 0x17becf, 0x8c564b, 0xe377c2, 0xbcbd22};
    constexpr int count = static_cast<int>(std::size(kColours));
    return QColor(kColours[((colour % count) + count) % count]);
}

}  // namespace

CoveragePane::CoveragePane(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("coveragePane"));
    setFrameShape(QFrame::StyledPanel);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setToolTip(tr("Where the highlighted maps lie. A solid outline marks a checked map, a dashed one a map "
                  "that is not checked."));
}

void CoveragePane::SetMaps(std::vector<CoverageMap> maps) {
    // A box with no area (or one across the date line) has no outline to draw.
    maps.erase(std::remove_if(maps.begin(), maps.end(), [](const CoverageMap& map) { return map.box.Empty(); }),
               maps.end());
    maps_ = std::move(maps);
    Refit();
    update();
}

QRectF CoveragePane::Canvas() const {
    return QRectF(contentsRect()).adjusted(kPadding, kPadding, -kPadding, -kPadding);
}

void CoveragePane::Refit() {
    const QRectF canvas = Canvas();
    projection_.SetViewSize(QSizeF(std::max(1.0, canvas.width()), std::max(1.0, canvas.height())));
    ui::GeoBox all;
    for (const auto& map : maps_) all = ui::Joined(all, map.box);
    projection_.Fit(all, kMargin);
}

std::vector<QRectF> CoveragePane::OutlineRects() const {
    std::vector<QRectF> rects;
    const QPointF origin = Canvas().topLeft();
    for (const auto& map : maps_) rects.push_back(projection_.ToView(map.box).translated(origin));
    return rects;
}

QString CoveragePane::Notice() const { return maps_.empty() ? tr("Highlight maps to see where they lie") : QString(); }

void CoveragePane::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    Refit();
}

void CoveragePane::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    if (maps_.empty()) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(Canvas(), Qt::AlignCenter | Qt::TextWordWrap, Notice());
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    const std::vector<QRectF> rects = OutlineRects();
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const QColor colour = MapColour(maps_[i].colour);
        QColor fill = colour;
        fill.setAlpha(kFillAlpha);
        QPen pen(colour.darker(130), maps_[i].checked ? 2.0 : 1.5);
        pen.setStyle(maps_[i].checked ? Qt::SolidLine : Qt::DashLine);
        painter.setPen(pen);
        painter.setBrush(fill);
        painter.drawRect(rects[i]);
    }

    // Labels go on top of every fill; maps sharing a corner would print their names on
    // one another, so a label that meets an earlier one moves down a line.
    const QFontMetrics metrics(font());
    const int line = metrics.height();
    std::vector<QRect> placed;
    painter.setPen(palette().color(QPalette::Text));
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const int room = std::max(static_cast<int>(rects[i].width()) - 6, 6 * metrics.averageCharWidth());
        const QString text = metrics.elidedText(maps_[i].name, Qt::ElideMiddle, room);
        QRect label(rects[i].topLeft().toPoint() + QPoint(3, 2), QSize(metrics.horizontalAdvance(text), line));
        for (std::size_t tries = 0; tries < placed.size(); ++tries) {
            const bool clash =
                std::any_of(placed.begin(), placed.end(), [&](const QRect& other) { return other.intersects(label); });
            if (!clash) break;
            label.translate(0, line);
        }
        placed.push_back(label);
        painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, text);
    }
}

}  // namespace batchui
