// What a long operation of the core tells the front end that runs it, and how it learns
// that it is to stop. The core has no threads of its own: a front end that runs the work
// on a thread of its own answers these calls from that thread.
#pragma once
#include <algorithm>
#include <cstdint>
#include <functional>

namespace jnx {

class BusyObserver {
public:
    virtual ~BusyObserver() = default;
    // An operation starts: show the wait pointer and let pending window events run once.
    virtual void Begin() {}
    // The operation has ended (successfully or not): restore the pointer.
    virtual void End() {}
    // Bytes of the current file written so far, of total.
    virtual void Progress(std::int64_t /*done*/, std::int64_t /*total*/) {}
    // Asked at the points where the work can stop and leave nothing behind; once true, the
    // operation removes what it was writing and fails with ErrorCode::Cancelled.
    virtual bool CancelRequested() const { return false; }
};

inline bool Cancelled(const BusyObserver* observer) { return observer && observer->CancelRequested(); }

// The largest piece a copy takes at once when someone watches it: small enough that the
// bar moves and a cancel is heard within a moment even on slow USB storage.
inline constexpr std::int64_t kWatchedCopyChunk = std::int64_t(8) << 20;

inline std::int64_t CopyChunkFor(const BusyObserver* observer, std::int64_t blockSize) {
    return observer ? std::min(blockSize, kWatchedCopyChunk) : blockSize;
}

// A copy's per-chunk report: the bytes copied so far by this copy; false stops it.
using CopyReport = std::function<bool(std::int64_t copied)>;

// Reports a series of copies as one run of total bytes, starting from `before`.
inline CopyReport ReportCopies(BusyObserver* observer, std::int64_t before, std::int64_t total) {
    if (!observer) return {};
    return [observer, before, total](std::int64_t copied) {
        observer->Progress(before + copied, total);
        return !observer->CancelRequested();
    };
}

// Begin() now, End() on every way out of the scope.
class BusyScope {
public:
    explicit BusyScope(BusyObserver* observer) : observer_(observer) {
        if (observer_) observer_->Begin();
    }
    ~BusyScope() {
        if (observer_) observer_->End();
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    BusyObserver* observer_;
};

}  // namespace jnx
