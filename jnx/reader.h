// ReadJnx: reads one JNX file into a JnxDocument with every structural check.
#pragma once
#include <string>

#include "jnx/document.h"
#include "jnx/progress.h"
#include "platform/error.h"

namespace jnx {

// readTiles false: quick read (header, level table, map block, LevelExtras).
// totalTiles is set as soon as the level table is read. error is written only on
// failure, and always names the file.
bool ReadJnx(JnxDocument& doc, const std::string& path, std::int32_t& totalTiles, platform::Error& error,
             bool readTiles, BusyObserver* observer = nullptr);

}  // namespace jnx
