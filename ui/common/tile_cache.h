// Decoded tile pictures kept for redrawing, the least recently used dropped first once
// their bytes pass the bound. Used from the window's thread only; the workers hand their
// pictures over to it.
#pragma once
#include <QImage>
#include <cstdint>
#include <list>
#include <unordered_map>

namespace ui {

class TileCache {
public:
    static constexpr std::int64_t kDefaultBound = 256LL * 1024 * 1024;

    explicit TileCache(std::int64_t boundBytes = kDefaultBound) : bound_(boundBytes) {}

    // A null picture stands for a tile that does not decode: remembered, so it is not
    // read again, at a token cost.
    void Put(std::uint64_t key, const QImage& picture);
    // Null when absent; found marks the entry as just used.
    const QImage* Find(std::uint64_t key);
    bool Contains(std::uint64_t key) const { return entries_.count(key) != 0; }
    void Clear();

    std::int64_t Bytes() const { return bytes_; }
    std::int64_t Bound() const { return bound_; }
    std::size_t Count() const { return entries_.size(); }

private:
    struct Entry {
        QImage picture;
        std::int64_t cost = 0;
        std::list<std::uint64_t>::iterator use;
    };
    static std::int64_t Cost(const QImage& picture);
    void Shrink();

    std::int64_t bound_;
    std::int64_t bytes_ = 0;
    std::list<std::uint64_t> uses_;  // most recent first
    std::unordered_map<std::uint64_t, Entry> entries_;
};

}  // namespace ui
