// ReadJnx: reads one JNX file into a JnxDocument with every structural check.
#pragma once
#include <string>

#include "jnx/document.h"
#include "jnx/progress.h"

namespace jnx {

// Failure texts that callers compare against.
inline constexpr const char* kErrVersion = "Jnx Version Error";
inline constexpr const char* kErrSignature = "Error seccion Signature.";
inline constexpr const char* kErrTrailer = "End <> BirdsEye - BlockVersion<>9. ";
inline constexpr const char* kErrTablePlacement = "CheckPointsTiles.Offset <> TileOffset";

// readTiles false: quick read (header, level table, map block, LevelExtras).
// totalTiles is set as soon as the level table is read. errorText is written only on failure.
bool ReadJnx(JnxDocument& doc, const std::string& path, std::int32_t& totalTiles, std::string& errorText,
             bool readTiles, BusyObserver* observer = nullptr);

}  // namespace jnx
