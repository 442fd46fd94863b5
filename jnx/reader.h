// ReadJnx: reads one JNX file into a JnxDocument with every structural check.
#pragma once
#include <string>

#include "jnx/document.h"
#include "jnx/progress.h"
#include "platform/error.h"

namespace jnx {

enum class ReadDepth {
    Quick,   // header, level table, map block, LevelExtras
    Tables,  // the whole structure checked: tile tables, signature, every tile's place,
             // one preview per level, trailer; what a reader that shows the map needs
    Full,    // and each image's check value, which a writer compares with what it wrote
};

// totalTiles is set as soon as the level table is read. error is written only on
// failure, and always names the file.
bool ReadJnx(JnxDocument& doc, const std::string& path, std::int32_t& totalTiles, platform::Error& error,
             ReadDepth depth, BusyObserver* observer = nullptr);

}  // namespace jnx
