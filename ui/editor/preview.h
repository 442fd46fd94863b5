// The tile preview: a level's sample JPEG turned into a picture, and its line of facts.
#pragma once
#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <cstdint>
#include <vector>

namespace ui {

// A null image when the bytes are empty or do not decode.
QImage PictureFromJpegBytes(const std::vector<std::uint8_t>& bytes);
// The picture scaled to fit the box, keeping its aspect ratio (never enlarged beyond 2x).
QPixmap FitPicture(const QImage& picture, const QSize& box);
// "1,234 TL. - Zoom:3 - JNXScale: 2,000"; a zoom of 255 shows no number.
QString LevelInfoText(std::int32_t tileCount, std::int32_t zoom, std::int32_t scale);
// A count with the locale's thousands separator ("###,##0").
QString GroupedNumber(std::int64_t value);

}  // namespace ui
