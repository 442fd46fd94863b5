// Reads and decodes tile pictures on worker threads, so the window never waits for the
// disk or the decoder. The workers take requests from one queue that the view replaces as
// it moves, so tiles that left the view are never read; each keeps the map's file open
// while the queue lasts, and none waits for the window's thread between two tiles. The
// pictures go over to the window's thread together every few milliseconds, the last of a
// queue at once.
#pragma once
#include <QImage>
#include <QObject>
#include <QSize>
#include <QThreadPool>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

namespace platform {
class BinaryFile;
}

namespace ui {

struct TileRequest {
    std::uint64_t key = 0;
    std::int64_t offset = 0;  // of the stored bytes, which lack the picture's first two
    std::int32_t size = 0;
    QSize scaledTo;  // the size to decode at; empty: the picture's own
    // A larger picture of the tile already decoded: reduced to scaledTo instead of reading
    // the file again.
    QImage from;
};

class TileLoader : public QObject {
    Q_OBJECT
public:
    explicit TileLoader(QObject* parent = nullptr);
    // Waits for the tiles in work, each a single short read and decode.
    ~TileLoader() override;

    // A new map: what is queued or in work for the old one is dropped and never delivered.
    void SetFile(const std::string& path);
    // What the view needs now, most wanted first; replaces the queue.
    void Want(std::vector<TileRequest> requests);
    // Taken by a worker and not delivered yet.
    bool Working(std::uint64_t key) const;
    bool Idle() const;

signals:
    // A null picture: the bytes could not be read or do not decode.
    void Decoded(std::uint64_t key, const QImage& picture);

private:
    // A worker's loop: tiles until the queue is empty.
    void Run();
    // On the window's thread: hands over what the workers finished since the last call.
    void Deliver();
    struct Done {
        std::uint64_t key;
        QImage picture;
    };

    QThreadPool pool_;
    mutable std::mutex mutex_;  // guards what follows, shared with the workers
    std::string path_;
    std::uint64_t generation_ = 0;
    std::deque<TileRequest> queue_;
    std::unordered_set<std::uint64_t> working_;  // keys of the current map
    std::vector<Done> done_;                     // of the current map, not delivered yet
    int runners_ = 0;
    bool deliveryAsked_ = false;  // a hand-over is on its way or waits on the timer
    QTimer handOver_;             // on the window's thread
};

// The picture of one tile's stored bytes, decoded at scaledTo when given (the JPEG decoder
// then skips the detail a reduced picture cannot show); null when the bytes cannot be read
// or decoded.
// data: where the bytes are read, kept from one tile to the next.
QImage DecodeTileAt(const platform::BinaryFile& file, std::int64_t offset, std::int32_t size, QSize scaledTo,
                    QByteArray& data);

}  // namespace ui
