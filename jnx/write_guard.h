// What keeps two writers of one map from losing an edit: each works under the writers'
// lock on the map, and writes only after seeing that the map still holds what its
// document was read from.
#pragma once
#include <string>

#include "jnx/document.h"
#include "jnx/progress.h"
#include "platform/binary_file.h"
#include "platform/error.h"
#include "platform/file_lock.h"

namespace jnx {

// The lock a writer works under: the caller's, held since before it read the map, when
// one is given; else one taken now into own (the document may then be old: the re-check
// decides). A caller's lock that no longer covers path means the map was replaced.
// A wait for another writer ends early when observer asks to stop.
bool LockMap(const std::string& path, const platform::FileLock* held, platform::FileLock& own,
             platform::Error& error, const BusyObserver* observer = nullptr);

// FileChanged unless file holds what doc was read from: the same length, the same bytes
// up to the map block's end (where every edit lands) and the same check points.
bool StillAsRead(const platform::BinaryFile& file, const JnxDocument& doc, const std::string& path,
                 platform::Error& error);

}  // namespace jnx
