// Make a map of another container's tiles, and write a map as another container: the use
// cases the editor and the command line share, over the converters.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "convert/export_custom_maps.h"
#include "convert/export_mbtiles.h"
#include "convert/import_jnx.h"
#include "platform/error.h"

namespace operations {

// A map of the tiles of an MBTiles file, a Z/X/Y folder or a KMZ/KML's ground overlays.
bool ImportMap(const std::string& source, const std::string& out, const convert::ImportOptions& options,
               convert::ImportResult& result, platform::Error& error, const convert::ImportProgress& progress = {});

enum class ExportFormat { Kmz, Mbtiles };

// The format a file name asks for, by its extension (.kmz, .mbtiles); nothing for another.
std::optional<ExportFormat> ExportFormatOf(const std::string& path);

// levels: 1-based, each at most once; empty: every level.
bool ExportMap(const std::string& map, const std::string& out, ExportFormat format, const std::vector<int>& levels,
               convert::ExportResult& result, platform::Error& error, const convert::ImportProgress& progress = {});

// One level as Custom Maps KMZ for units without BirdsEye, within the unit's image budget
// (options.maxImages, a device profile's maxImages unless the user gave another).
bool ExportCustomMaps(const std::string& map, const std::string& out, const convert::CustomMapsOptions& options,
                      convert::CustomMapsResult& result, platform::Error& error,
                      const convert::ImportProgress& progress = {});

}  // namespace operations
