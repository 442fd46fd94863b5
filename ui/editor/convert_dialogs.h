// The small dialogs of the editor's import and export: each returns the user's choice, or
// nothing when the user backs out. The window asks through replaceable hooks, so that
// tests can answer instead of a dialog.
#pragma once
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

#include "settings/scale_model.h"

class QWidget;

namespace ui {

struct ImportChoice {
    QString source;  // an MBTiles, KMZ or KML file, or a folder of Z/X/Y tiles
    QString output;  // the map to write
    int version = 4;
    // For a raster, whose tiles are made rather than copied: its JPEG quality, levels and
    // overviews. The tile size and the fill serve a tile source's joined tiles too.
    int quality = 85;
    int tileSize = 0;  // 256, 512 or 1024; 0: the least that keeps each level within a file's tiles
    int levels = 5;
    bool overviews = false;                  // the coarser levels are the raster's own overviews
    QString fill = QStringLiteral("white");  // as ParseFillColour reads it
};

// What the import dialog's preview of a raster's levels names their zoom rows by.
struct ImportScales {
    std::vector<settings::ZoomLevelEntry> zoomTable;  // empty: no rows are named
    settings::DeviceProfile profile = settings::DefaultDeviceProfile();
};

// Custom Maps: one level as KMZ images a unit without BirdsEye draws.
enum class ExportFormat { Kmz, Mbtiles, CustomMaps };

struct ExportChoice {
    ExportFormat format = ExportFormat::Kmz;
    QString output;
    std::vector<int> levels;  // numbered from 1, ascending
    // Custom Maps: images per KMZ file, the level (0: the finest within that budget) and
    // the overlays' draw order.
    int maxImages = 100;
    int level = 0;
    int drawOrder = 50;
};

// What the export dialog offers: the loaded map and one caption per level.
struct ExportOffer {
    QString mapPath;
    QStringList levels;
    // Custom Maps: each level's images (0: it cannot be written so), and the device
    // profile in use, whose budget the dialog proposes.
    std::vector<std::int64_t> customImages;
    QString profile;
};

// Beside the source, under its name: "tiles.mbtiles" and the folder "tiles" give "tiles.jnx".
QString DefaultImportOutput(const QString& source);
// Beside the map, under its name, with the format's extension.
QString DefaultExportOutput(const QString& mapPath, ExportFormat format);

// Opens with `earlier`'s fields, so a choice that failed can be mended rather than retyped.
// A raster's levels are previewed as the import will make them, under scales' profile.
std::optional<ImportChoice> AskImport(QWidget* parent, const QString& startFolder, const ImportChoice& earlier = {},
                                      const ImportScales& scales = {});
std::optional<ExportChoice> AskExport(QWidget* parent, const ExportOffer& offer);

}  // namespace ui
