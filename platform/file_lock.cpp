#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/sys_io.h"

namespace platform {
namespace {

// A wait that is polled, not blocked in the kernel: the core has no threads or signals to
// break a blocking lock off at the deadline.
constexpr std::chrono::milliseconds kPoll(20);

bool SameFile(int fd, const std::string& path) {
    struct stat held {}, named {};
    return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

// A file system that keeps no locks (some network shares) leaves only the writers'
// re-check of the map to guard it; refusing every save there would help nobody.
bool LocksUnsupported(int err) { return err == ENOLCK || err == EOPNOTSUPP || err == ENOTSUP; }

}  // namespace

bool FileLock::Acquire(const std::string& path, std::chrono::milliseconds patience, Error& error,
                       const std::function<bool()>& stop) {
    Release();
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        // Non-blocking, so that a fifo put in the map's place cannot stall the open.
        const int fd = sys::Open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK, 0);
        if (fd < 0) return Fail(error, Error(ErrorCode::CannotOpen).File(path).Detail(std::strerror(errno)));
        int err = 0;
        for (;;) {
            err = sys::Flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
            if (err == EINTR) continue;
            if (err != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) break;
            if (stop && stop()) {
                sys::Close(fd);
                return Fail(error, Error(ErrorCode::Cancelled).File(path));
            }
            std::this_thread::sleep_for(kPoll);
        }
        if (err != 0 && !LocksUnsupported(err)) {
            sys::Close(fd);
            if (err == EWOULDBLOCK) return Fail(error, Error(ErrorCode::FileInUse).File(path));
            return Fail(error, Error(ErrorCode::CannotLock).File(path).Detail(std::strerror(err)));
        }
        if (SameFile(fd, path)) {
            fd_ = fd;
            return true;
        }
        // Replaced (or removed) while this writer waited: what the path holds now is the map.
        sys::Close(fd);
        if (std::chrono::steady_clock::now() >= deadline) return Fail(error, Error(ErrorCode::FileInUse).File(path));
    }
}

bool FileLock::Covers(const std::string& path) const { return fd_ >= 0 && SameFile(fd_, path); }

void FileLock::Release() {
    // Closing the only descriptor of the open file description lets the lock go.
    if (fd_ >= 0) sys::Close(fd_);
    fd_ = -1;
}

}  // namespace platform
