// ModifJNX: writes resolved edit values into the file held in the document by patching it
// in place (product ID, draw order, level scales, group name, zoom numbers), then checks
// the file against the reader's check points. On any failure the patched bytes are put
// back, so the file is as it was.
#pragma once
#include <string>

#include "jnx/document.h"
#include "jnx/progress.h"
#include "jnx/write_values.h"
#include "platform/file_lock.h"
#include "platform/error.h"

namespace jnx {

// Precondition: doc holds a full read of path and NeedsRegeneration is false. Works under
// held, the caller's lock on the map since before its read, or else takes the lock itself;
// refuses with FileChanged when the file no longer holds what doc was read from.
bool ModifJNX(JnxDocument& doc, const WriteValues& values, const std::string& path, platform::Error& error,
              BusyObserver* observer = nullptr, const platform::FileLock* held = nullptr);

}  // namespace jnx
