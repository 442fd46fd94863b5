// The writers' lock on a map: an exclusive advisory lock (flock) on an open descriptor of
// the file, held for a whole read-check-write, so that two writers of one map take turns
// instead of each writing over an edit it never read.
//
// flock belongs to the open file description, not to the process: closing some other
// descriptor of the file does not drop it (the reader and the writers open the map
// themselves), and a second acquisition in the same process waits like any other writer.
//
// A replacement renames a new file over the map while its writer still holds the lock on
// the old one; a writer that was waiting then wakes up holding a file no longer at the
// path. So the lock counts only once the descriptor and the path name the same file, and
// is taken again on what the path holds otherwise.
#pragma once
#include <chrono>
#include <functional>
#include <string>

#include "platform/error.h"

namespace platform {

// How long a writer waits for another one to finish with the map before it gives up:
// long enough for a replacement of a large map on slow media.
inline constexpr std::chrono::milliseconds kWriterPatience = std::chrono::seconds(60);

class FileLock {
public:
    FileLock() = default;
    ~FileLock() { Release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Waits up to patience for every other holder to let go; FileInUse when one did not,
    // Cancelled as soon as stop answers true.
    bool Acquire(const std::string& path, std::chrono::milliseconds patience, Error& error,
                 const std::function<bool()>& stop = {});
    // Whether the lock is held on the file that path names now.
    bool Covers(const std::string& path) const;
    void Release();

private:
    int fd_ = -1;
};

}  // namespace platform
