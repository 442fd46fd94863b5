// One level of a JNX map as Custom Maps, for units without BirdsEye: KMZ files whose
// doc.kml holds one ground overlay per image, each image a baseline JPEG of at most
// 1024 x 1024 pixels and under 3 MB, made from neighbouring tiles joined through their
// coefficients, so that decoded it shows the tiles' very pixels. A unit shows only so many
// images; an area that needs more is written as several KMZ files, each within that
// budget, for the user to load one at a time.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "convert/fill_colour.h"
#include "convert/import_jnx.h"
#include "jnx/document.h"
#include "platform/error.h"

namespace convert {

inline constexpr int kCustomMapsSide = 1024;                      // pixels, either way
inline constexpr std::int64_t kCustomMapsImageBytes = 3'000'000;  // an image stays under it
inline constexpr int kCustomMapsDefaultDrawOrder = 50;

struct CustomMapsOptions {
    int maxImages = 100;  // per KMZ file: the unit's budget
    int level = 0;        // 1-based; 0: the finest level whose images fit one file
    int drawOrder = kCustomMapsDefaultDrawOrder;
    // OUT_1.kmz, OUT_2.kmz ... are names the program gives: parts of an earlier export there
    // are replaced, and those beyond the new set removed; without it any of them refuses the
    // export (OutputExists).
    bool overwrite = false;
    FillColour fill;  // where a joined image lacks a tile inside its box
};

// What a level would give: images of joined x joined tiles (at a map's edge fewer);
// joined 0: none, its tiles being larger than an image may be.
struct CustomMapsLevel {
    int joined = 0;
    std::int64_t images = 0;
};

struct CustomMapsFile {
    std::string path;
    std::int64_t images = 0;
};

struct CustomMapsResult {
    int level = 0;  // 1-based
    int joined = 0;
    std::int64_t images = 0;
    std::vector<CustomMapsFile> files;  // in the order written; one unless the budget asked for more
};

// Each level's images, as the export would make them (0-based, as doc.Levels).
std::vector<CustomMapsLevel> CustomMapsLevels(const jnx::JnxDocument& doc);

// File number (from 1) of an export written as several: OUT_1.kmz, OUT_2.kmz, ...
std::string CustomMapsPartPath(const std::string& outPath, std::size_t number);
// The parts an earlier export to outPath has left there, whatever their number, by name.
std::vector<std::string> ExistingCustomMapsParts(const std::string& outPath);

// Refuses, with the numbers, a map whose coarsest level needs more images than one file
// may hold when no level is named. Every file is checked before any is published; a
// failure leaves none of them. Several files are published as the import publishes its
// volumes: as a whole, under one lock on their folder.
bool ExportCustomMaps(const std::string& jnxPath, const std::string& outPath, const CustomMapsOptions& options,
                      CustomMapsResult& result, platform::Error& error, const ImportProgress& progress = {});

}  // namespace convert
