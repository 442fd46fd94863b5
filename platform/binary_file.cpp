#include "platform/binary_file.h"

#include "platform/sys_io.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

namespace platform {
namespace {

// The fallback copy never holds more than this, whatever chunk size the caller allows.
constexpr std::int64_t kCopyBuffer = std::int64_t(8) << 20;

Error Describe(ErrorCode code, int err) { return Error(code).Detail(std::strerror(err)); }

// The kernel's own files pass for regular ones, but their length says nothing of what a
// read returns and the data changes from one read to the next.
bool OnKernelFileSystem(int fd) {
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0) return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case PROC_SUPER_MAGIC: case SYSFS_MAGIC: case DEBUGFS_MAGIC: case TRACEFS_MAGIC: case SECURITYFS_MAGIC:
    case CGROUP_SUPER_MAGIC: case CGROUP2_SUPER_MAGIC: case EFIVARFS_MAGIC: case BPF_FS_MAGIC:
        return true;
    default:
        return false;
    }
}

bool PositionOk(std::int64_t pos, std::size_t n, Error& error) {
    if (pos < 0 || n > std::size_t(std::numeric_limits<off_t>::max()) ||
        pos > std::numeric_limits<off_t>::max() - static_cast<off_t>(n)) {
        error = Error(ErrorCode::PositionOutOfRange);
        return false;
    }
    return true;
}

// Reads up to n bytes at pos, retrying short reads; returns the count read (less than n
// only at end of file) or -1 with errno set.
ssize_t PreadFull(int fd, void* buffer, std::size_t n, off_t pos) {
    auto* p = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd, p + done, n - done, pos + static_cast<off_t>(done));
        if (got < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (got == 0) break;
        done += std::size_t(got);
    }
    return static_cast<ssize_t>(done);
}

bool PwriteFull(int fd, const void* buffer, std::size_t n, off_t pos, Error& error) {
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < n) {
        const ssize_t put = sys::Pwrite(fd, p + done, n - done, pos + static_cast<off_t>(done));
        if (put < 0) {
            if (errno == EINTR) continue;
            error = Describe(ErrorCode::CannotWrite, errno);
            return false;
        }
        if (put == 0) {
            error = Error(ErrorCode::NothingWritten);
            return false;
        }
        done += std::size_t(put);
    }
    return true;
}

}  // namespace

BinaryFile::~BinaryFile() { Close(); }

BinaryFile::BinaryFile(BinaryFile&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) {
    other.fd_ = -1;
}

BinaryFile& BinaryFile::operator=(BinaryFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

bool BinaryFile::Open(const std::string& path, Mode mode, Error& error, unsigned permissions) {
    Close();
    int flags = O_CLOEXEC | O_NOCTTY;
    switch (mode) {
        case Mode::Read: flags |= O_RDONLY; break;
        case Mode::ReadWrite: flags |= O_RDWR; break;
        case Mode::CreateTruncate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
        case Mode::CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
    }
    // Only regular files are opened: a pipe would wait for a writer for ever, and a
    // device or a kernel file reads as endless or changing data. The look before the
    // open spares a device the open itself; the non-blocking open keeps a pipe put in
    // place between the two from blocking, and the second look catches it.
    struct stat st {};
    if (mode != Mode::CreateNew && ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return Fail(error, Error(ErrorCode::NotRegularFile).File(path));
    int fd;
    do {
        fd = sys::Open(path.c_str(), flags | O_NONBLOCK, static_cast<mode_t>(permissions));
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error = Describe(ErrorCode::CannotOpen, errno).File(path);
        return false;
    }
    const bool looked = ::fstat(fd, &st) == 0;
    const int err = errno;
    if (!looked || !S_ISREG(st.st_mode) || OnKernelFileSystem(fd)) {
        sys::Close(fd);
        error = looked ? Error(ErrorCode::NotRegularFile).File(path) : Describe(ErrorCode::CannotOpen, err).File(path);
        return false;
    }
    fd_ = fd;
    path_ = path;
    return true;
}

void BinaryFile::Close() {
    if (fd_ >= 0) {
        sys::Close(fd_);
        fd_ = -1;
    }
    path_.clear();
}

bool BinaryFile::Size(std::int64_t& size, Error& error) const {
    struct stat st {};
    if (fd_ < 0) {
        error = Error(ErrorCode::FileNotOpen);
        return false;
    }
    if (::fstat(fd_, &st) != 0) {
        error = Describe(ErrorCode::CannotGetLength, errno).File(path_);
        return false;
    }
    size = std::int64_t(st.st_size);
    return true;
}

bool BinaryFile::ReadAt(std::int64_t pos, void* buffer, std::size_t n, Error& error) const {
    if (fd_ < 0) {
        error = Error(ErrorCode::FileNotOpen);
        return false;
    }
    if (!PositionOk(pos, n, error)) return false;
    const ssize_t got = PreadFull(fd_, buffer, n, static_cast<off_t>(pos));
    if (got < 0) {
        error = Describe(ErrorCode::CannotRead, errno).File(path_);
        return false;
    }
    // Every caller checks a range against the length first, so a short read means the
    // file shrank meanwhile.
    if (std::size_t(got) != n) {
        error = Error(ErrorCode::FileChangedWhileRead).File(path_);
        return false;
    }
    return true;
}

bool BinaryFile::WriteAt(std::int64_t pos, const void* buffer, std::size_t n, Error& error) {
    if (fd_ < 0) {
        error = Error(ErrorCode::FileNotOpen);
        return false;
    }
    if (!PositionOk(pos, n, error)) return false;
    return PwriteFull(fd_, buffer, n, static_cast<off_t>(pos), error);
}

bool BinaryFile::CopyFrom(const BinaryFile& source, std::int64_t sourcePos, std::int64_t destPos, std::int64_t n,
                          std::int64_t maxChunk, Error& error, const ChunkReport& report) {
    if (fd_ < 0 || source.fd_ < 0) {
        error = Error(ErrorCode::FileNotOpen);
        return false;
    }
    if (n < 0) {
        error = Error(ErrorCode::PositionOutOfRange);
        return false;
    }
    if (!PositionOk(sourcePos, std::size_t(n), error) || !PositionOk(destPos, std::size_t(n), error)) return false;
    if (maxChunk <= 0) maxChunk = kCopyBuffer;
    std::int64_t done = 0;
    const auto reported = [&] {
        if (!report || report(done)) return true;
        return Fail(error, Error(ErrorCode::Cancelled).File(path_));
    };

    // The kernel copies without passing the bytes through user space (and may share
    // extents); it is not available between every pair of file systems.
    bool kernelCopy = true;
    while (kernelCopy && done < n) {
        auto inPos = static_cast<off_t>(sourcePos + done);
        auto outPos = static_cast<off_t>(destPos + done);
        const auto chunk = std::size_t(std::min(maxChunk, n - done));
        const ssize_t copied = sys::CopyFileRange(source.fd_, &inPos, fd_, &outPos, chunk);
        if (copied < 0) {
            if (errno == EINTR) continue;
            if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EBADF ||
                errno == ETXTBSY || errno == EPERM) {
                kernelCopy = false;
                break;
            }
            error = Describe(ErrorCode::CannotCopyData, errno).File(path_);
            return false;
        }
        // Zero means end of the source for a regular file, but some file systems report
        // it for copies they do not support; the plain copy below tells the two apart.
        if (copied == 0) break;
        done += copied;
        if (!reported()) return false;
    }
    if (done == n) return true;

    const auto bufferSize = std::size_t(std::min({maxChunk, kCopyBuffer, n - done}));
    std::vector<std::uint8_t> buffer(bufferSize);
    while (done < n) {
        const auto chunk = std::size_t(std::min<std::int64_t>(std::int64_t(bufferSize), n - done));
        const ssize_t got = PreadFull(source.fd_, buffer.data(), chunk, static_cast<off_t>(sourcePos + done));
        if (got < 0) {
            error = Describe(ErrorCode::CannotRead, errno).File(source.path_);
            return false;
        }
        if (std::size_t(got) != chunk) {
            error = Error(ErrorCode::FileChangedWhileRead).File(source.path_);
            return false;
        }
        if (!PwriteFull(fd_, buffer.data(), chunk, static_cast<off_t>(destPos + done), error)) return false;
        done += std::int64_t(chunk);
        if (!reported()) return false;
    }
    return true;
}

bool BinaryFile::Sync(Error& error) {
    if (fd_ < 0) {
        error = Error(ErrorCode::FileNotOpen);
        return false;
    }
    while (sys::Fsync(fd_) != 0) {
        if (errno == EINTR) continue;
        error = Describe(ErrorCode::CannotFlush, errno).File(path_);
        return false;
    }
    return true;
}

bool SyncFile(const std::string& path, Error& error) {
    BinaryFile file;
    return file.Open(path, BinaryFile::Mode::Read, error) && file.Sync(error);
}

bool ReadFileStart(const std::string& path, std::size_t limit, std::string& contents, Error& error) {
    BinaryFile file;
    if (!file.Open(path, BinaryFile::Mode::Read, error)) return false;
    std::string data;
    char buffer[65536];
    while (data.size() < limit) {
        const std::size_t want = std::min(sizeof buffer, limit - data.size());
        const ssize_t got = PreadFull(file.Descriptor(), buffer, want, static_cast<off_t>(data.size()));
        if (got < 0) {
            error = Describe(ErrorCode::CannotRead, errno).File(path);
            return false;
        }
        data.append(buffer, std::size_t(got));
        if (std::size_t(got) < want) break;
    }
    contents = std::move(data);
    return true;
}

}  // namespace platform
