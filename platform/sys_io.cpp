#include "platform/sys_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::sys {

int Open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }

ssize_t Pwrite(int fd, const void* buffer, std::size_t n, off_t pos) { return ::pwrite(fd, buffer, n, pos); }

ssize_t CopyFileRange(int in, off_t* inPos, int out, off_t* outPos, std::size_t n) {
    return ::copy_file_range(in, inPos, out, outPos, n, 0);
}

int Fsync(int fd) { return ::fsync(fd); }

int Close(int fd) { return ::close(fd); }

int Rename(const char* from, const char* to) { return ::rename(from, to); }

int RenameNoReplace(const char* from, const char* to) {
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

int Link(const char* from, const char* to) { return ::link(from, to); }

int Fchmod(int fd, mode_t mode) { return ::fchmod(fd, mode); }

int Fchown(int fd, uid_t owner, gid_t group) { return ::fchown(fd, owner, group); }

int Flock(int fd, int operation) { return ::flock(fd, operation); }

}  // namespace platform::sys
