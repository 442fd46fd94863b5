#include "ui/common/fresh_pixels.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace ui {

QImage FreshPicture(QSize size, QImage::Format format) {
    QImage picture(size, format);
#ifdef MADV_POPULATE_WRITE
    if (!picture.isNull()) {
        // Mapping a page changes no byte of it, so the pages the picture shares with its
        // neighbours in memory come to no harm. A system without the call faults them in as
        // they are written, as before.
        static const auto page = std::uintptr_t(::sysconf(_SC_PAGESIZE));
        const auto start = reinterpret_cast<std::uintptr_t>(picture.bits());
        const std::uintptr_t from = start & ~(page - 1);
        const std::uintptr_t to = (start + std::uintptr_t(picture.sizeInBytes()) + page - 1) & ~(page - 1);
        ::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
    }
#endif
    return picture;
}

}  // namespace ui
