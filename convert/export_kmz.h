// A JNX map's levels as KMZ ground overlays: each tile its own overlay at its own bounds,
// its image the JPEG it was (FF D8 and its stored bytes). Each level's folder keeps the
// level's scale, zoom and resolution, and the document the map's texts, so that an import
// of the result gives the same map back.
#pragma once
#include <string>
#include <vector>

#include "convert/export_mbtiles.h"

namespace convert {

// levels: 1-based, each at most once; empty: every level. result.zooms: each level's zoom.
bool ExportKmz(const std::string& jnxPath, const std::string& outPath, const std::vector<int>& levels,
               ExportResult& result, platform::Error& error, const ImportProgress& progress = {});

}  // namespace convert
