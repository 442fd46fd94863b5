// The system calls through which every file the program writes passes. The program links
// sys_io.cpp, a plain forward to the kernel; the write-fault tests link a version of their
// own that fails a chosen call, so each writer can be run once per point of failure.
#pragma once
#include <sys/types.h>

#include <cstddef>

namespace platform::sys {

int Open(const char* path, int flags, mode_t mode);
ssize_t Pwrite(int fd, const void* buffer, std::size_t n, off_t pos);
ssize_t CopyFileRange(int in, off_t* inPos, int out, off_t* outPos, std::size_t n);
int Fsync(int fd);
int Close(int fd);
// rename(2): replaces an existing target.
int Rename(const char* from, const char* to);
// renameat2(2) with RENAME_NOREPLACE.
int RenameNoReplace(const char* from, const char* to);
int Link(const char* from, const char* to);
// fchmod(2), fchown(2): a replacement takes on the permissions of the file it replaces.
// A refused owner or group is no failure (only the superuser may give a file away).
int Fchmod(int fd, mode_t mode);
int Fchown(int fd, uid_t owner, gid_t group);

// flock(2): the writers' advisory lock on a map.
int Flock(int fd, int operation);

}  // namespace platform::sys
