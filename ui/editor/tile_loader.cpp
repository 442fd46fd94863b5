#include "ui/editor/tile_loader.h"

#include <QBuffer>
#include <QImageReader>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

#include "platform/binary_file.h"
#include "ui/common/fresh_pixels.h"

namespace ui {

namespace {
// Beyond this a tile is taken as damaged rather than decoded into hundreds of megabytes.
constexpr std::int32_t kMaxTileBytes = 32 * 1024 * 1024;

// Decoders run below the window's thread, so that a frame never waits behind them for a
// core: with as many decoders as cores, a frame of 11 ms of work otherwise took up to 18.
// They give way to other programs' work too; the window staying smooth is worth more.
constexpr int kDecoderNiceness = 10;

// Pictures go over at most this often. Woken for each, the window's thread took a core
// from a decoder hundreds of times a step, each costing both a switch and their caches;
// the view draws what came in only every few tens of milliseconds anyway.
constexpr int kHandOverMs = 12;

void YieldToTheWindow() {
    thread_local bool lowered = false;
    if (lowered) return;
    lowered = true;
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kDecoderNiceness);
}
}  // namespace

QImage DecodeTileAt(const platform::BinaryFile& file, std::int64_t offset, std::int32_t size, QSize scaledTo,
                    QByteArray& data) {
    if (!file.IsOpen() || size <= 0 || size > kMaxTileBytes || offset < 0) return {};
    // The stored bytes lack the start-of-image marker. The same bytes serve tile after tile,
    // so reading one takes no fresh memory for the kernel to fault in.
    data.resize(qsizetype(size) + 2);
    data[0] = char(0xFF);
    data[1] = char(0xD8);
    platform::Error error;
    if (!file.ReadAt(offset, data.data() + 2, static_cast<std::size_t>(size), error)) return {};
    // A QBuffer lets the decoder read the bytes in place rather than copied in chunks.
    QBuffer buffer(&data);
    QImageReader reader(&buffer, "jpg");
    if (!scaledTo.isEmpty()) reader.setScaledSize(scaledTo);
    // Decoded straight into pixels whose pages are mapped already.
    QImage picture = FreshPicture(scaledTo.isEmpty() ? reader.size() : scaledTo, reader.imageFormat());
    if (!reader.read(&picture)) return {};
    // Converted here, so drawing it later is a plain copy on the window's thread.
    if (!picture.isNull() && picture.format() != QImage::Format_RGB32) picture.convertTo(QImage::Format_RGB32);
    return picture;
}

TileLoader::TileLoader(QObject* parent) : QObject(parent) {
    pool_.setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
    handOver_.setSingleShot(true);
    handOver_.setInterval(kHandOverMs);
    connect(&handOver_, &QTimer::timeout, this, &TileLoader::Deliver);
}

TileLoader::~TileLoader() {
    {
        const std::lock_guard lock(mutex_);
        queue_.clear();
        ++generation_;
    }
    pool_.waitForDone();
}

void TileLoader::SetFile(const std::string& path) {
    const std::lock_guard lock(mutex_);
    path_ = path;
    ++generation_;
    queue_.clear();
    working_.clear();
    done_.clear();
}

bool TileLoader::Working(std::uint64_t key) const {
    const std::lock_guard lock(mutex_);
    return working_.count(key) != 0;
}

bool TileLoader::Idle() const {
    const std::lock_guard lock(mutex_);
    return queue_.empty() && working_.empty();
}

void TileLoader::Want(std::vector<TileRequest> requests) {
    const std::lock_guard lock(mutex_);
    queue_.clear();
    for (TileRequest& request : requests)
        if (working_.count(request.key) == 0) queue_.push_back(std::move(request));
    while (runners_ < pool_.maxThreadCount() && std::size_t(runners_) < queue_.size()) {
        ++runners_;
        pool_.start([this] { Run(); });
    }
}

void TileLoader::Run() {
    YieldToTheWindow();
    platform::BinaryFile file;
    std::string opened;
    QByteArray bytes;
    for (;;) {
        TileRequest request;
        std::uint64_t generation = 0;
        std::string path;
        {
            const std::lock_guard lock(mutex_);
            if (queue_.empty()) {
                --runners_;
                return;
            }
            request = std::move(queue_.front());
            queue_.pop_front();
            working_.insert(request.key);
            generation = generation_;
            path = path_;
        }
        if (request.from.isNull() && (opened != path || !file.IsOpen())) {
            // A file that does not open leaves it closed: each of its tiles ends null.
            opened = path;
            file.Close();
            platform::Error error;
            file.Open(opened, platform::BinaryFile::Mode::Read, error);
        }
        const QImage picture =
            request.from.isNull()
                ? DecodeTileAt(file, request.offset, request.size, request.scaledTo, bytes)
                : request.from.scaled(request.scaledTo, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        bool now = false, later = false;
        {
            const std::lock_guard lock(mutex_);
            if (generation != generation_) continue;
            done_.push_back({request.key, picture});
            // The last of the queue goes over at once: nothing else is coming to share the wake.
            now = queue_.empty() && done_.size() == working_.size();
            later = !now && !deliveryAsked_;
            deliveryAsked_ = true;
        }
        if (now)
            QMetaObject::invokeMethod(
                this, [this] { Deliver(); }, Qt::QueuedConnection);
        else if (later)
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (!handOver_.isActive()) handOver_.start();
                },
                Qt::QueuedConnection);
    }
}

void TileLoader::Deliver() {
    std::vector<Done> done;
    {
        const std::lock_guard lock(mutex_);
        done.swap(done_);
        deliveryAsked_ = false;
        for (const Done& one : done) working_.erase(one.key);
    }
    for (const Done& one : done) emit Decoded(one.key, one.picture);
}

}  // namespace ui
