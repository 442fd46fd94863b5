#include "tests/fault/faulty_sys_io.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <set>

#include "platform/sys_io.h"

namespace fault {
namespace {

// One test process drives one writer at a time, so plain process state is enough here.
struct State {
    Plan plan;
    int points = 0;
    int writes = 0;
    bool fired = false;
    bool tornWrite = false;  // the next write fails
    std::set<int> createdFiles;
};

State& Current() {
    static State state;
    return state;
}

// Counts a point; true when the plan fails this one with EIO.
bool FailPoint() {
    State& s = Current();
    ++s.points;
    if (s.plan.kind == Kind::Error && s.points == s.plan.at) {
        s.fired = true;
        errno = EIO;
        return true;
    }
    return false;
}

enum class WriteFate { Normal, Fail, Short };

WriteFate NextWrite(int fd) {
    if (FailPoint()) return WriteFate::Fail;
    State& s = Current();
    if (s.tornWrite) {
        s.tornWrite = false;
        s.fired = true;
        errno = EIO;
        return WriteFate::Fail;
    }
    ++s.writes;
    if (s.plan.kind == Kind::DiskFull && s.writes >= s.plan.at && s.createdFiles.count(fd) != 0) {
        s.fired = true;
        errno = ENOSPC;
        return WriteFate::Fail;
    }
    if ((s.plan.kind == Kind::ShortWrite || s.plan.kind == Kind::TornWrite) && s.writes == s.plan.at) {
        s.tornWrite = s.plan.kind == Kind::TornWrite;
        return WriteFate::Short;
    }
    return WriteFate::Normal;
}

// Whether a write of n bytes into fd goes ahead (errno set when not); a short one gets a
// smaller n.
bool Admit(int fd, std::size_t& n) {
    switch (NextWrite(fd)) {
    case WriteFate::Fail:
        return false;
    case WriteFate::Short:
        if (n >= 2) {
            Current().fired = true;
            n /= 2;
        }
        return true;
    case WriteFate::Normal:
        break;
    }
    return true;
}

}  // namespace

void Arm(Plan plan) {
    State& s = Current();
    s.plan = plan;
    s.points = 0;
    s.writes = 0;
    s.fired = false;
    s.tornWrite = false;
}

void Disarm() { Arm(Plan{}); }
int PointsSeen() { return Current().points; }
int WritesSeen() { return Current().writes; }
bool Fired() { return Current().fired; }

}  // namespace fault

namespace platform::sys {

using fault::Current;

int Open(const char* path, int flags, mode_t mode) {
    if (fault::FailPoint()) return -1;
    const int fd = ::open(path, flags, mode);
    if (fd >= 0 && (flags & O_CREAT) != 0) Current().createdFiles.insert(fd);
    return fd;
}

ssize_t Pwrite(int fd, const void* buffer, std::size_t n, off_t pos) {
    return fault::Admit(fd, n) ? ::pwrite(fd, buffer, n, pos) : -1;
}

ssize_t CopyFileRange(int in, off_t* inPos, int out, off_t* outPos, std::size_t n) {
    if (Current().plan.kind == fault::Kind::NoKernelCopy) {
        Current().fired = true;
        errno = EXDEV;
        return -1;
    }
    return fault::Admit(out, n) ? ::copy_file_range(in, inPos, out, outPos, n, 0) : -1;
}

int Fsync(int fd) { return fault::FailPoint() ? -1 : ::fsync(fd); }

int Close(int fd) {
    Current().createdFiles.erase(fd);
    return ::close(fd);
}

int Rename(const char* from, const char* to) { return fault::FailPoint() ? -1 : ::rename(from, to); }

int RenameNoReplace(const char* from, const char* to) {
    return fault::FailPoint() ? -1 : ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

int Link(const char* from, const char* to) { return fault::FailPoint() ? -1 : ::link(from, to); }

}  // namespace platform::sys
