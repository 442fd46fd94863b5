#include "operations/convert_map.h"

#include <algorithm>

#include "convert/export_kmz.h"
#include "platform/fs.h"

namespace operations {

bool ImportMap(const std::string& source, const std::string& out, const convert::ImportOptions& options,
               convert::ImportResult& result, platform::Error& error, const convert::ImportProgress& progress) {
    return convert::ImportTiles(source, out, options, result, error, progress);
}

std::optional<ExportFormat> ExportFormatOf(const std::string& path) {
    std::string extension = platform::ExtensionOf(path);
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    if (extension == "kmz") return ExportFormat::Kmz;
    if (extension == "mbtiles") return ExportFormat::Mbtiles;
    return std::nullopt;
}

bool ExportMap(const std::string& map, const std::string& out, ExportFormat format, const std::vector<int>& levels,
               convert::ExportResult& result, platform::Error& error, const convert::ImportProgress& progress) {
    return format == ExportFormat::Kmz ? convert::ExportKmz(map, out, levels, result, error, progress)
                                       : convert::ExportMbtiles(map, out, levels, result, error, progress);
}

bool ExportCustomMaps(const std::string& map, const std::string& out, const convert::CustomMapsOptions& options,
                      convert::CustomMapsResult& result, platform::Error& error,
                      const convert::ImportProgress& progress) {
    return convert::ExportCustomMaps(map, out, options, result, error, progress);
}

}  // namespace operations
