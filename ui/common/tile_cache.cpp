#include "ui/common/tile_cache.h"

namespace ui {

namespace {
constexpr std::int64_t kBrokenCost = 64;
}

std::int64_t TileCache::Cost(const QImage& picture) {
    return picture.isNull() ? kBrokenCost : static_cast<std::int64_t>(picture.sizeInBytes());
}

void TileCache::Put(std::uint64_t key, const QImage& picture) {
    const std::int64_t cost = Cost(picture);
    auto found = entries_.find(key);
    if (found != entries_.end()) {
        bytes_ -= found->second.cost;
        uses_.erase(found->second.use);
        entries_.erase(found);
    }
    // A picture larger than the whole bound would only push everything else out.
    if (cost > bound_) return;
    uses_.push_front(key);
    entries_.emplace(key, Entry{picture, cost, uses_.begin()});
    bytes_ += cost;
    Shrink();
}

const QImage* TileCache::Find(std::uint64_t key) {
    auto found = entries_.find(key);
    if (found == entries_.end()) return nullptr;
    uses_.splice(uses_.begin(), uses_, found->second.use);
    return &found->second.picture;
}

void TileCache::Clear() {
    entries_.clear();
    uses_.clear();
    bytes_ = 0;
}

void TileCache::Shrink() {
    while (bytes_ > bound_ && !uses_.empty()) {
        auto oldest = entries_.find(uses_.back());
        bytes_ -= oldest->second.cost;
        entries_.erase(oldest);
        uses_.pop_back();
    }
}

}  // namespace ui
