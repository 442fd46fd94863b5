#include "ui/editor/map_canvas.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "ui/common/fresh_pixels.h"

namespace ui {

namespace {

// Past this many tiles in view, decoding them would take long and show little.
constexpr std::size_t kMaxPicturesInView = 1000;
// A tile drawn smaller than this shows nothing of its picture.
constexpr double kMinPicturePixels = 12;
// Tiles too small for pictures over a level no larger than this are rastered once per
// zoom, and a pan only moves the raster.
constexpr double kMaxRaster = 2048;
constexpr double kWheelStep = 1.25;  // zoom factor per wheel notch
constexpr int kRedrawMs = 30;        // while pictures come in, the view is drawn this often

QColor LevelColour(int level) { return QColor::fromHsv((level * 67 + 210) % 360, 200, 190); }

// Pictures are decoded at 1/2, 1/4 ... 1/32 of their size, the JPEG decoder itself doing
// the first three: the smallest that is still about as large as drawn, so that the painter
// never reduces one to less than half, where its filter stops averaging and fine lines
// vanish. About: up to an eighth smaller, which the filter hides; else a tile drawn a hair
// over an eighth of its size would be decoded at four times the pixels.
constexpr int kMaxStep = 5;
constexpr double kMaxEnlargement = 1.125;
// The key: the tile in the low 32 bits, then the level, the step and the map's generation.
constexpr int kLevelShift = 32, kStepShift = 44, kGenerationShift = 47;

int StepFor(const MapCanvas::TileSource& source, QSizeF drawn) {
    int step = 0;
    while (step < kMaxStep && (source.width >> (step + 1)) * kMaxEnlargement >= drawn.width() &&
           (source.height >> (step + 1)) * kMaxEnlargement >= drawn.height())
        ++step;
    return step;
}

QSize DecodedSize(const MapCanvas::TileSource& source, int step) {
    if (step == 0) return {};
    const int round = (1 << step) - 1;
    return {std::max(1, (source.width + round) >> step), std::max(1, (source.height + round) >> step)};
}

}  // namespace

MapCanvas::MapCanvas(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    // Small enough for the editor to keep its old smallest size; the hint is what it opens at.
    setMinimumSize(240, 100);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // Every paint fills the view, so Qt need not clear what a partial paint leaves alone.
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&loader_, &TileLoader::Decoded, this, &MapCanvas::OnDecoded);
    redraw_.setSingleShot(true);
    redraw_.setInterval(kRedrawMs);
    connect(&redraw_, &QTimer::timeout, this, [this] {
        update(arrived_);
        arrived_ = {};
    });
}

QSize MapCanvas::sizeHint() const { return {440, 280}; }

std::uint64_t MapCanvas::KeyOf(int level, std::uint32_t tile, int step) const {
    return (generation_ << kGenerationShift) | (std::uint64_t(step) << kStepShift) |
           (std::uint64_t(level) << kLevelShift) | tile;
}

void MapCanvas::ShowMap(const jnx::JnxDocument& doc) {
    Clear();
    mapBounds_ = BoxFromJnx(doc.Header.Bounds);
    levels_.resize(doc.Levels.size());
    std::size_t first = 0;
    for (std::size_t k = 0; k < doc.Levels.size(); ++k) {
        const std::size_t count = std::min<std::size_t>(std::max(doc.Levels[k].TileCount, 0),
                                                        doc.Tiles.size() - std::min(first, doc.Tiles.size()));
        std::vector<GeoBox> boxes;
        boxes.reserve(count);
        levels_[k].sources.reserve(count);
        for (std::size_t i = first; i < first + count; ++i) {
            const jnx::JnxTile& tile = doc.Tiles[i];
            boxes.push_back(BoxFromJnx(tile.TileBounds));
            levels_[k].sources.push_back({tile.DataOffset, tile.DataSize, tile.TileAux[0] | tile.TileAux[1] << 8,
                                          tile.TileAux[2] | tile.TileAux[3] << 8});
        }
        levels_[k].grid.Build(std::move(boxes));
        first += count;
    }
    loader_.SetFile(doc.FileName);
    Fit();
}

void MapCanvas::Clear() {
    generation_ = (generation_ + 1) & ((1ULL << (64 - kGenerationShift)) - 1);
    loader_.SetFile({});
    cache_.Clear();
    arrived_ = {};
    wholeCoverage_.raster = QImage();
    levels_.clear();
    mapBounds_ = {};
    drawnLevel_ = -1;
    note_.clear();
    hoveredLevel_ = hoveredTile_ = -1;
    update();
}

void MapCanvas::SetDrawnLevel(int level, const QString& note) {
    if (level == drawnLevel_ && note == note_) return;
    drawnLevel_ = level >= 0 && level < static_cast<int>(levels_.size()) ? level : -1;
    note_ = note;
    // The tile named under the pointer belonged to the level drawn before.
    if (hoveredLevel_ >= 0 && hoveredLevel_ != drawnLevel_) {
        hoveredLevel_ = hoveredTile_ = -1;
        emit Hovered(-1, -1);
    }
    update();
}

void MapCanvas::Fit() {
    GeoBox box;
    for (const Level& level : levels_) box = Joined(box, level.grid.Bounds());
    // Tiles show where the map really is; the header's bounds are only its claim.
    if (box.Empty()) box = mapBounds_;
    if (box.Empty()) return;
    projection_.SetViewSize(size());
    projection_.Fit(box);
    autoFit_ = true;
    update();
    emit ZoomChanged();
}

void MapCanvas::SetPixelsPerDegreeOfLongitude(double scale) {
    projection_.SetPixelsPerDegreeOfLongitude(scale);
    autoFit_ = false;
    update();
}

void MapCanvas::SetPixelsPerDegree(double scale) {
    projection_.SetPixelsPerDegree(scale);
    autoFit_ = false;
    update();
}

MapCanvas::TileState MapCanvas::StateOf(int level, int tile) {
    if (level < 0 || level >= static_cast<int>(levels_.size()) || tile < 0 ||
        std::size_t(tile) >= levels_[std::size_t(level)].sources.size())
        return TileState::Unknown;
    const Level& facts = levels_[std::size_t(level)];
    const auto index = static_cast<std::uint32_t>(tile);
    const int step = StepFor(facts.sources[index], projection_.ToView(facts.grid.Box(index)).size());
    const std::uint64_t key = KeyOf(level, index, step);
    if (const QImage* picture = cache_.Find(key)) return picture->isNull() ? TileState::Broken : TileState::Shown;
    if (const QImage* other = StandIn(level, index, step); other && other->isNull()) return TileState::Broken;
    return loader_.Working(key) ? TileState::Waiting : TileState::Unknown;
}

const QImage* MapCanvas::StandIn(int level, std::uint32_t tile, int step) {
    // The nearest step first, a sharper one before a coarser one.
    for (int distance = 1; distance <= kMaxStep; ++distance)
        for (const int other : {step - distance, step + distance})
            if (other >= 0 && other <= kMaxStep)
                if (const QImage* picture = cache_.Find(KeyOf(level, tile, other))) return picture;
    return nullptr;
}

void MapCanvas::OnDecoded(std::uint64_t key, const QImage& picture) {
    if ((key >> kGenerationShift) != generation_) return;
    cache_.Put(key, picture);
    const int level = int((key >> kLevelShift) & ((1U << (kStepShift - kLevelShift)) - 1));
    const auto tile = std::uint32_t(key);
    if (level != drawnLevel_ || tile >= levels_[std::size_t(level)].sources.size()) return;
    // Pictures come in by the hundred: drawing the view for each, or the whole view for a
    // few, would take the processor from the decoders. Only the places of those that came
    // in are drawn again, a few at a time.
    const QRect place = projection_.ToView(levels_[std::size_t(level)].grid.Box(tile)).toAlignedRect() & rect();
    if (place.isEmpty()) return;
    arrived_ += place;
    if (!redraw_.isActive()) redraw_.start();
}

bool MapCanvas::PicturesFit(const std::vector<std::uint32_t>& tiles) const {
    if (tiles.empty() || tiles.size() > kMaxPicturesInView) return false;
    const TileGrid& grid = levels_[static_cast<std::size_t>(drawnLevel_)].grid;
    double smallest = 1e300;
    for (std::size_t i = 0; i < std::min<std::size_t>(tiles.size(), 16); ++i) {
        const QRectF rect = projection_.ToView(grid.Box(tiles[i]));
        smallest = std::min(smallest, std::min(rect.width(), rect.height()));
    }
    return smallest >= kMinPicturePixels;
}

void MapCanvas::DrawPictures(QPainter& painter, const std::vector<std::uint32_t>& tiles, const QRegion& region) {
    // A paint of only the places where pictures came in: what the view wants is unchanged.
    const bool whole = region.rectCount() == 1 && region.boundingRect().contains(rect());
    const Level& level = levels_[static_cast<std::size_t>(drawnLevel_)];
    const QPointF middle(width() / 2.0, height() / 2.0);
    // Tiles with nothing to show come first, then the middle of the view: that is where
    // the user looks.
    std::vector<std::pair<std::pair<bool, double>, TileRequest>> wanted;
    // Each picture is at most twice the size drawn, where the filter still averages.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Tiles without a picture are drawn together after the others, with one pen and brush.
    std::vector<QRectF> waiting, broken;
    for (std::uint32_t tile : tiles) {
        const QRectF rect = projection_.ToView(level.grid.Box(tile));
        if (!whole && !region.intersects(rect.toAlignedRect())) continue;
        const TileSource& source = level.sources[tile];
        const int step = StepFor(source, rect.size());
        const std::uint64_t key = KeyOf(drawnLevel_, tile, step);
        const QImage* picture = cache_.Find(key);
        const bool exact = picture != nullptr;
        if (!exact) picture = StandIn(drawnLevel_, tile, step);
        // One that does not decode at some size decodes at none.
        if (picture && picture->isNull()) {
            broken.push_back(rect);
            continue;
        }
        if (picture)
            painter.drawImage(rect, *picture);
        else
            waiting.push_back(rect);
        // The loader leaves out those in work.
        if (!whole || exact) continue;
        const QPointF off = rect.center() - middle;
        const QSize decoded = DecodedSize(source, step);
        // Zoomed out, the larger picture kept is reduced: far cheaper than decoding again.
        const bool larger = picture && !decoded.isEmpty() && picture->width() > decoded.width();
        wanted.push_back({{picture != nullptr, off.x() * off.x() + off.y() * off.y()},
                          {key, source.offset, source.size, decoded, larger ? *picture : QImage()}});
    }
    painter.setPen(QPen(QColor(160, 160, 160), 1));
    painter.setBrush(QColor(225, 225, 225));
    painter.drawRects(waiting.data(), int(waiting.size()));
    painter.setPen(QPen(Qt::red, 1));
    painter.setBrush(Qt::NoBrush);
    for (const QRectF& rect : broken) {
        painter.drawRect(rect);
        painter.drawLine(rect.topLeft(), rect.bottomRight());
        painter.drawLine(rect.topRight(), rect.bottomLeft());
    }
    if (!whole) return;
    std::sort(wanted.begin(), wanted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<TileRequest> requests;
    requests.reserve(wanted.size());
    for (const auto& entry : wanted) requests.push_back(entry.second);
    loader_.Want(std::move(requests));
}

void MapCanvas::FillBoxes(QImage& raster, QPointF origin, const std::vector<std::uint32_t>* tiles) {
    // Tens of thousands of tiles a few pixels wide: filling one raster is far cheaper
    // than asking the painter for each.
    raster.fill(Qt::transparent);
    QColor colour = LevelColour(drawnLevel_);
    colour.setAlpha(140);
    const QRgb fill = qPremultiply(colour.rgba());
    const int w = raster.width(), h = raster.height();
    const TileGrid& grid = levels_[static_cast<std::size_t>(drawnLevel_)].grid;
    const auto paint = [&](std::uint32_t tile) {
        const QRectF rect = projection_.ToView(grid.Box(tile)).translated(-origin);
        const int x0 = std::clamp(static_cast<int>(std::floor(rect.left())), 0, w);
        const int x1 = std::clamp(static_cast<int>(std::ceil(rect.right())), 0, w);
        const int y0 = std::clamp(static_cast<int>(std::floor(rect.top())), 0, h);
        const int y1 = std::clamp(static_cast<int>(std::ceil(rect.bottom())), 0, h);
        for (int y = y0; y < y1; ++y) {
            auto* line = reinterpret_cast<QRgb*>(raster.scanLine(y));
            std::fill(line + x0, line + x1, fill);
        }
    };
    if (tiles) {
        for (std::uint32_t tile : *tiles) paint(tile);
    } else {
        for (std::uint32_t tile = 0; tile < grid.Size(); ++tile) paint(tile);
    }
}

void MapCanvas::DrawCoverage(QPainter& painter, const std::vector<std::uint32_t>& tiles) {
    if (coverage_.size() != size()) coverage_ = FreshPicture(size(), QImage::Format_ARGB32_Premultiplied);
    FillBoxes(coverage_, {0, 0}, &tiles);
    painter.drawImage(0, 0, coverage_);
    loader_.Want({});
}

void MapCanvas::DrawWholeCoverage(QPainter& painter, const QRectF& whole) {
    auto& kept = wholeCoverage_;
    const double scale = projection_.PixelsPerDegree();
    if (kept.generation != generation_ || kept.level != drawnLevel_ || kept.scale != scale) {
        kept.raster = FreshPicture(
            {static_cast<int>(std::ceil(whole.width())) + 1, static_cast<int>(std::ceil(whole.height())) + 1},
            QImage::Format_ARGB32_Premultiplied);
        FillBoxes(kept.raster, whole.topLeft(), nullptr);
        kept.generation = generation_;
        kept.level = drawnLevel_;
        kept.scale = scale;
    }
    painter.drawImage(whole.topLeft(), kept.raster);
    loader_.Want({});
}

void MapCanvas::DrawOutlines(QPainter& painter) {
    painter.setBrush(Qt::NoBrush);
    std::vector<std::pair<int, QRectF>> outlines;
    for (std::size_t k = 0; k < levels_.size(); ++k) {
        const GeoBox& bounds = levels_[k].grid.Bounds();
        if (bounds.Empty()) continue;
        const int level = static_cast<int>(k);
        painter.setPen(QPen(LevelColour(level), level == drawnLevel_ ? 2 : 1));
        const QRectF rect = projection_.ToView(bounds).adjusted(-level, -level, level, level);
        painter.drawRect(rect);
        outlines.emplace_back(level, rect);
    }
    if (!mapBounds_.Empty()) {
        painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
        painter.drawRect(projection_.ToView(mapBounds_));
    }
    // Each number at its outline's top-left corner, inside it and inside the view, so a
    // fitted map's numbers are never cut; levels of one coverage share the corner, so a
    // number moves right past those placed before it.
    const QFontMetricsF metrics(font());
    std::vector<QRectF> placed;
    for (const auto& [level, rect] : outlines) {
        const QString number = QString::number(level + 1);
        QRectF label(0, 0, metrics.horizontalAdvance(number) + 6, metrics.height() + 2);
        label.moveTopLeft({std::clamp(rect.left() + 2, 1.0, std::max(1.0, width() - label.width() - 1)),
                           std::clamp(rect.top() + 2, 1.0, std::max(1.0, height() - label.height() - 1))});
        for (bool moved = true; moved;) {
            moved = false;
            for (const QRectF& other : placed)
                if (other.intersects(label)) label.moveLeft(other.right() + 2), moved = true;
        }
        placed.push_back(label);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 210));
        painter.drawRect(label);
        painter.setPen(LevelColour(level));
        painter.drawText(label, Qt::AlignCenter, number);
    }
}

void MapCanvas::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(245, 245, 240));
    if (drawnLevel_ >= 0) {
        const Level& level = levels_[static_cast<std::size_t>(drawnLevel_)];
        const QRectF whole = projection_.ToView(level.grid.Bounds());
        const double tileArea = whole.width() * whole.height() / std::max<std::size_t>(level.sources.size(), 1);
        if (tileArea < kMinPicturePixels * kMinPicturePixels && std::max(whole.width(), whole.height()) <= kMaxRaster) {
            DrawWholeCoverage(painter, whole);
        } else {
            level.grid.Query(projection_.Visible(), inView_);
            if (PicturesFit(inView_))
                DrawPictures(painter, inView_, event->region());
            else
                DrawCoverage(painter, inView_);
        }
    } else {
        loader_.Want({});
    }
    DrawOutlines(painter);
    if (!note_.isEmpty()) {
        // On a panel of its own, so the outlines under it do not cross the words.
        const QRect area = rect().adjusted(12, 12, -12, -12);
        QRect text = painter.boundingRect(area, Qt::AlignCenter | Qt::TextWordWrap, note_);
        painter.setPen(palette().color(QPalette::Mid));
        painter.setBrush(palette().color(QPalette::Window));
        painter.drawRoundedRect(text.adjusted(-8, -6, 8, 6), 4, 4);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, note_);
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void MapCanvas::resizeEvent(QResizeEvent*) {
    projection_.SetViewSize(size());
    if (autoFit_) Fit();
}

void MapCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragging_ = true;
    dragFrom_ = event->position().toPoint();
    setCursor(Qt::ClosedHandCursor);
}

void MapCanvas::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (dragging_) {
        projection_.Pan(at - dragFrom_);
        dragFrom_ = at;
        autoFit_ = false;
        update();
    }
    ReportHover(at);
}

void MapCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragging_ = false;
    unsetCursor();
}

void MapCanvas::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0) return;
    projection_.ZoomAround(event->position(), std::pow(kWheelStep, notches));
    autoFit_ = false;
    update();
    emit ZoomChanged();
    event->accept();
}

void MapCanvas::leaveEvent(QEvent*) {
    hoveredLevel_ = hoveredTile_ = -1;
    emit Hovered(-1, -1);
}

void MapCanvas::ReportHover(QPoint pixel) {
    int tile = -1;
    if (drawnLevel_ >= 0) {
        double lat = 0, lon = 0;
        projection_.FromView(pixel, lat, lon);
        tile = levels_[static_cast<std::size_t>(drawnLevel_)].grid.At(lat, lon);
    }
    const int level = tile >= 0 ? drawnLevel_ : -1;
    if (level == hoveredLevel_ && tile == hoveredTile_) return;
    hoveredLevel_ = level;
    hoveredTile_ = tile;
    emit Hovered(level, tile);
}

}  // namespace ui
