#include "jnx/write_guard.h"

#include <limits>

#include "jnx/write_values.h"

namespace jnx {

using platform::Error;
using platform::ErrorCode;

bool LockMap(const std::string& path, const platform::FileLock* held, platform::FileLock& own, Error& error,
             const BusyObserver* observer) {
    if (held == nullptr)
        return own.Acquire(path, platform::kWriterPatience, error, [observer] { return Cancelled(observer); });
    return held->Covers(path) || platform::Fail(error, Error(ErrorCode::FileChanged).File(path));
}

bool StillAsRead(const platform::BinaryFile& file, const JnxDocument& doc, const std::string& path, Error& error) {
    if (doc.FrontAsRead.empty()) return platform::Fail(error, Error(ErrorCode::NotReadWithTables).File(path));
    const auto changed = [&] { return platform::Fail(error, Error(ErrorCode::FileChanged).File(path)); };
    std::int64_t length = 0;
    if (!file.Size(length, error)) return false;
    if (length != doc.FileLength) return changed();
    platform::Bytes front(doc.FrontAsRead.size());
    if (!file.ReadAt(0, front.data(), front.size(), error)) return false;
    if (front != doc.FrontAsRead) return changed();
    const auto all = std::numeric_limits<std::int64_t>::max();
    if (FirstBrokenCheckPoint(file, doc.CheckPointsTiles, 0, all) != doc.CheckPointsTiles.size() ||
        FirstBrokenCheckPoint(file, doc.CheckPointsImages, 0, all) != doc.CheckPointsImages.size())
        return changed();
    return true;
}

}  // namespace jnx
