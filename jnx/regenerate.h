// RegenerateJnx: writes a complete new file (version 3 or 4) from the document and its
// source: the front part laid out anew with a 1024-byte map block and moved offsets, then
// the tile data and trailer copied byte for byte. The file appears under destPath only
// complete and verified (destPath may be the source itself, which it then replaces; any
// other destPath is a name the program chose, see WriterSettings::overwrite); the source is
// otherwise never changed. It works from the source under held, the caller's lock
// on it since before its read, or else takes the lock itself, and publishes only while the
// source still holds what doc was read from (else FileChanged).
#pragma once
#include <string>

#include "jnx/document.h"
#include "jnx/progress.h"
#include "jnx/write_values.h"
#include "jnx/writer_settings.h"
#include "platform/file_lock.h"
#include "platform/error.h"

namespace jnx {

bool RegenerateJnx(JnxDocument& doc, const WriteValues& values, int version, const std::string& sourcePath,
                   const std::string& destPath, const WriterSettings& settings, platform::Error& error,
                   BusyObserver* observer = nullptr, const platform::FileLock* held = nullptr);

}  // namespace jnx
