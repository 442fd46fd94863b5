// A JNX map's levels as MBTiles, when they lie on the web-map grid: each tile goes into
// the tiles table as the JPEG it was (FF D8 and its stored bytes), so an import of the
// result gives the same map back.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "convert/import_jnx.h"
#include "platform/error.h"

namespace convert {

struct ExportResult {
    std::vector<int> zooms;  // one per level written, in level order
    std::int64_t tiles = 0;
};

// levels: 1-based, each at most once; empty: every level. progress as an import's.
bool ExportMbtiles(const std::string& jnxPath, const std::string& outPath, const std::vector<int>& levels,
                   ExportResult& result, platform::Error& error, const ImportProgress& progress = {});

}  // namespace convert
