#include "tests/fault/faulty_sys_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <utility>

#include "platform/sys_io.h"

namespace fault {
namespace {

// One test process drives one writer at a time, so plain process state is enough here.
struct State {
    Plan plan;
    int points = 0, writes = 0;
    bool fired = false, tornWrite = false;  // tornWrite: the next write fails
    std::set<int> createdFiles;
    std::set<std::pair<dev_t, ino_t>> unflushed;  // files written since their last flush
    int unflushedReplacements = 0;
};

State& Current() {
    static State state;
    return state;
}

// The plan fires: the call fails with error.
bool Fire(int error) {
    Current().fired = true;
    errno = error;
    return true;
}

// Counts a point; true when the plan fails this one with EIO.
bool FailPoint() {
    State& s = Current();
    return ++s.points == s.plan.at && s.plan.kind == Kind::Error && Fire(EIO);
}

enum class WriteFate { Normal, Fail, Short };

WriteFate NextWrite(int fd) {
    if (FailPoint()) return WriteFate::Fail;
    State& s = Current();
    if (std::exchange(s.tornWrite, false) && Fire(EIO)) return WriteFate::Fail;
    ++s.writes;
    if (s.plan.kind == Kind::DiskFull && s.writes >= s.plan.at && s.createdFiles.count(fd) != 0 && Fire(ENOSPC))
        return WriteFate::Fail;
    if ((s.plan.kind == Kind::ShortWrite || s.plan.kind == Kind::TornWrite) && s.writes == s.plan.at) {
        s.tornWrite = s.plan.kind == Kind::TornWrite;
        return WriteFate::Short;
    }
    return WriteFate::Normal;
}

std::pair<dev_t, ino_t> IdOf(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return {};
    return {st.st_dev, st.st_ino};
}

void NoteWritten(int fd, ssize_t result) {
    if (result > 0) Current().unflushed.insert(IdOf(fd));
}

// A rename over an existing file, checked before it happens.
void NoteRename(const char* from, const char* to) {
    struct stat source {}, target {};
    if (::lstat(to, &target) != 0 || ::lstat(from, &source) != 0) return;
    if (Current().unflushed.count({source.st_dev, source.st_ino}) != 0) ++Current().unflushedReplacements;
}

// Whether a write of n bytes into fd goes ahead (errno set when not); a short one gets a
// smaller n.
bool Admit(int fd, std::size_t& n) {
    const WriteFate fate = NextWrite(fd);
    if (fate == WriteFate::Short && n >= 2) Current().fired = true, n /= 2;
    return fate != WriteFate::Fail;
}

}  // namespace

// Files still open stay known.
void Arm(Plan plan) {
    State& s = Current();
    s = State{plan, 0, 0, false, false, std::move(s.createdFiles), {}, 0};
}

void Disarm() { Arm(Plan{}); }
int PointsSeen() { return Current().points; }
int WritesSeen() { return Current().writes; }
bool Fired() { return Current().fired; }
int UnflushedReplacements() { return Current().unflushedReplacements; }

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
    if (!fault::Admit(fd, n)) return -1;
    const ssize_t written = ::pwrite(fd, buffer, n, pos);
    fault::NoteWritten(fd, written);
    return written;
}

ssize_t CopyFileRange(int in, off_t* inPos, int out, off_t* outPos, std::size_t n) {
    if (Current().plan.kind == fault::Kind::NoKernelCopy && fault::Fire(EXDEV)) return -1;
    if (!fault::Admit(out, n)) return -1;
    const ssize_t copied = ::copy_file_range(in, inPos, out, outPos, n, 0);
    fault::NoteWritten(out, copied);
    return copied;
}

int Fsync(int fd) {
    if (fault::FailPoint()) return -1;
    const int result = ::fsync(fd);
    if (result == 0) Current().unflushed.erase(fault::IdOf(fd));
    return result;
}

int Close(int fd) {
    Current().createdFiles.erase(fd);
    return ::close(fd);
}

int Rename(const char* from, const char* to) {
    if (fault::FailPoint()) return -1;
    fault::NoteRename(from, to);
    return ::rename(from, to);
}

int RenameNoReplace(const char* from, const char* to) {
    return fault::FailPoint() ? -1 : ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

int Link(const char* from, const char* to) { return fault::FailPoint() ? -1 : ::link(from, to); }

int Fchmod(int fd, mode_t mode) { return fault::FailPoint() ? -1 : ::fchmod(fd, mode); }

// Its failures are ignored by design, so failing it would only prove a run that must succeed.
int Fchown(int fd, uid_t owner, gid_t group) { return ::fchown(fd, owner, group); }

int Flock(int fd, int operation) { return fault::FailPoint() ? -1 : ::flock(fd, operation); }

}  // namespace platform::sys
