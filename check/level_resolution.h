// A level's ground resolution measured from its tiles, and so its native scale: the Scale
// at which the device first shows it at about its own pixel size (settings/scale_model.h).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "jnx/document.h"
#include "platform/binary_file.h"

namespace check {

struct LevelResolution {
    double metresPerPixel = 0;  // ground metres per pixel at the level's middle latitude; 0: unknown
    double middleLatitude = 0;  // degrees
    std::size_t tiles = 0;      // tiles measured
    bool Known() const { return metresPerPixel > 0; }
    // f × 198.12 × metresPerPixel; 0 when unknown.
    std::int32_t NativeScale(double factor) const;
};

// One per level: the median over its tiles of degrees of longitude per pixel, taken at
// the level's middle latitude. A tile's pixel size is its table's when stored there, else
// its JPEG frame header's when file is given (a sample of the level's tiles, so a large
// level costs a few reads); tiles of neither are left out.
std::vector<LevelResolution> MeasureLevels(const jnx::JnxDocument& doc, const platform::BinaryFile* file = nullptr);

}  // namespace check
