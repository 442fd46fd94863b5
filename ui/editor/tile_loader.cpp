#include "ui/editor/tile_loader.h"

#include <QBuffer>
#include <QImageReader>
#include <algorithm>

#include "platform/binary_file.h"

namespace ui {

namespace {
// Beyond this a tile is taken as damaged rather than decoded into hundreds of megabytes.
constexpr std::int32_t kMaxTileBytes = 32 * 1024 * 1024;
}  // namespace

QImage DecodeTileAt(const std::string& path, std::int64_t offset, std::int32_t size, QSize scaledTo) {
    if (size <= 0 || size > kMaxTileBytes || offset < 0) return {};
    platform::BinaryFile file;
    platform::Error error;
    if (!file.Open(path, platform::BinaryFile::Mode::Read, error)) return {};
    // The stored bytes lack the start-of-image marker.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size) + 2);
    bytes[0] = 0xFF;
    bytes[1] = 0xD8;
    if (!file.ReadAt(offset, bytes.data() + 2, static_cast<std::size_t>(size), error)) return {};
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    QBuffer buffer(&data);
    QImageReader reader(&buffer, "jpg");
    if (!scaledTo.isEmpty()) reader.setScaledSize(scaledTo);
    QImage picture = reader.read();
    // Converted here, so drawing it later is a plain copy on the window's thread.
    if (!picture.isNull() && picture.format() != QImage::Format_RGB32) picture.convertTo(QImage::Format_RGB32);
    return picture;
}

TileLoader::TileLoader(QObject* parent) : QObject(parent) {
    pool_.setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
}

TileLoader::~TileLoader() {
    current_->store(~0ULL);
    pool_.clear();
    pool_.waitForDone();
}

void TileLoader::SetFile(const std::string& path) {
    path_ = path;
    ++generation_;
    current_->store(generation_);
    queue_.clear();
    working_.clear();
}

void TileLoader::Want(std::vector<TileRequest> requests) {
    queue_.clear();
    for (TileRequest& request : requests)
        if (!Working(request.key)) queue_.push_back(request);
    StartMore();
}

void TileLoader::StartMore() {
    while (!queue_.empty() && jobs_ < pool_.maxThreadCount()) {
        const TileRequest request = queue_.front();
        queue_.pop_front();
        working_.insert(request.key);
        ++jobs_;
        const std::uint64_t generation = generation_;
        pool_.start([this, request, generation, path = path_, current = current_] {
            QImage picture;
            if (current->load() == generation)
                picture = request.from.isNull()
                              ? DecodeTileAt(path, request.offset, request.size, request.scaledTo)
                              : request.from.scaled(request.scaledTo, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            QMetaObject::invokeMethod(
                this, [this, generation, key = request.key, picture] { Finished(generation, key, picture); },
                Qt::QueuedConnection);
        });
    }
}

void TileLoader::Finished(std::uint64_t generation, std::uint64_t key, const QImage& picture) {
    --jobs_;
    if (generation == generation_) {
        working_.erase(key);
        emit Decoded(key, picture);
    }
    StartMore();
}

}  // namespace ui
