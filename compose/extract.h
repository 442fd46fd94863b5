// Level extraction: a new JNX file holding exactly one level of the document's file,
// and the rules that place it.
#pragma once
#include <array>
#include <string>

#include "jnx/device_limits.h"
#include "jnx/document.h"
#include "jnx/progress.h"
#include "jnx/write_values.h"
#include "jnx/writer_settings.h"
#include "platform/error.h"

namespace compose {

// level is 1-based; values are resolved for the whole file (edit::Purpose::Split). The
// file appears under destinationPath only complete and verified; on failure nothing is
// left there (a file that was there before stays untouched) and error says why. The name
// is the program's: a file or link there refuses the write unless settings.overwrite.
bool ExtractLevel(const jnx::JnxDocument& doc, const jnx::WriteValues& values, int version, const std::string& sourcePath,
                  const std::string& destinationPath, int level, const jnx::WriterSettings& settings,
                  platform::Error& error, jnx::BusyObserver* observer = nullptr);

// <base>_Level<n>.jnx in the split folder of that level ("$CURRENT" = the source's folder,
// matched without regard to case), or beside the source. Creates the folder when missing,
// unless only planning: then nothing is made, and a missing folder is taken when the
// nearest folder that stands allows it to be made.
std::string LevelFilePath(const std::string& sourcePath, int level,
                          const std::array<std::string, jnx::device::kMaxLevels>& levelDirs, bool planOnly = false);

}  // namespace compose
