// Pictures whose pixels are about to be written for the first time, their pages mapped in
// one call rather than one fault a page: on a virtual machine a fault costs ten
// microseconds and more, which made the first frame of a view's coverage 11 ms, and a
// tile decoded at a half or a quarter of its size take a quarter to a third longer.
#pragma once
#include <QImage>
#include <QSize>

namespace ui {

// A picture of that size and format, its pages mapped; null for an empty size.
QImage FreshPicture(QSize size, QImage::Format format);

}  // namespace ui
