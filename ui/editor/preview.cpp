#include "ui/editor/preview.h"

#include <QCoreApplication>
#include <limits>

#include "ui/common/language.h"

namespace ui {

QImage PictureFromJpegBytes(const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return {};
    return QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()), "JPG");
}

QPixmap FitPicture(const QImage& picture, const QSize& box) {
    if (picture.isNull() || box.isEmpty()) return {};
    QSize target = picture.size().scaled(box, Qt::KeepAspectRatio);
    if (target.width() > picture.width() * 2) target = picture.size() * 2;
    return QPixmap::fromImage(picture.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

QString GroupedNumber(std::int64_t value) { return Number(static_cast<qint64>(value)); }

QString LevelInfoText(std::int32_t tileCount, std::int32_t zoom, std::int32_t scale) {
    const QString zoomText = zoom == 255 ? QString() : Number(zoom);
    return QCoreApplication::translate("ui::Preview", "%1 TL. - Zoom:%2 - JNXScale: %3")
        .arg(GroupedNumber(tileCount), zoomText, GroupedNumber(scale));
}

}  // namespace ui
