// Reads and decodes tile pictures on worker threads, so the window never waits for the
// disk or the decoder. Only a few tiles are in work at a time; the rest wait in a queue
// that the view replaces as it moves, so tiles that left the view are never read.
#pragma once
#include <QImage>
#include <QObject>
#include <QSize>
#include <QThreadPool>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

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
    bool Working(std::uint64_t key) const { return working_.count(key) != 0; }
    bool Idle() const { return queue_.empty() && jobs_ == 0; }

signals:
    // A null picture: the bytes could not be read or do not decode.
    void Decoded(std::uint64_t key, const QImage& picture);

private:
    void StartMore();
    void Finished(std::uint64_t generation, std::uint64_t key, const QImage& picture);

    QThreadPool pool_;
    std::string path_;
    std::uint64_t generation_ = 0;
    // Read by the workers, which skip work for a map that is no longer shown.
    std::shared_ptr<std::atomic<std::uint64_t>> current_ = std::make_shared<std::atomic<std::uint64_t>>(0);
    std::deque<TileRequest> queue_;
    std::unordered_set<std::uint64_t> working_;  // keys of the current map in work
    int jobs_ = 0;                               // in work, of any map
};

// The picture of one tile's stored bytes, decoded at scaledTo when given (the JPEG decoder
// then skips the detail a reduced picture cannot show); null when the bytes cannot be read
// or decoded.
QImage DecodeTileAt(const std::string& path, std::int64_t offset, std::int32_t size, QSize scaledTo = {});

}  // namespace ui
