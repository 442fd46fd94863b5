#include "check/level_resolution.h"

#include <algorithm>
#include <cmath>

#include "check/device_check.h"
#include "settings/scale_model.h"

namespace check {
namespace {

// The median of a sample this size is as good as the whole level's for imagery cut on a grid.
constexpr std::size_t kHeaderSample = 64;

double Degrees(std::int32_t units) { return double(units) * 180.0 / 2147483648.0; }

int PixelWidth(const jnx::JnxTile& tile, const platform::BinaryFile* file, bool sampled) {
    const int stored = tile.TileAux[0] | (tile.TileAux[1] << 8);
    if (stored > 0 || file == nullptr || !sampled || tile.DataSize <= 0) return stored;
    JpegFrame frame;
    platform::Error error;
    if (!ReadTileFrame(*file, tile, frame, error) || frame.status != JpegFrame::Status::Found) return 0;
    return frame.width;
}

}  // namespace

std::int32_t LevelResolution::NativeScale(double factor) const {
    return Known() ? settings::NativeScale(metresPerPixel, factor) : 0;
}

std::vector<LevelResolution> MeasureLevels(const jnx::JnxDocument& doc, const platform::BinaryFile* file) {
    std::vector<LevelResolution> out(doc.Levels.size());
    std::size_t first = 0;
    for (std::size_t k = 0; k < doc.Levels.size() && first < doc.Tiles.size(); ++k) {
        const std::size_t count =
            std::min<std::size_t>(std::size_t(std::max(doc.Levels[k].TileCount, 0)), doc.Tiles.size() - first);
        const std::size_t step = std::max<std::size_t>(1, count / kHeaderSample);
        std::vector<double> perPixel;
        double north = -90, south = 90;
        for (std::size_t i = 0; i < count; ++i) {
            const jnx::JnxTile& tile = doc.Tiles[first + i];
            const double width = Degrees(tile.TileBounds[1]) - Degrees(tile.TileBounds[3]);
            const double top = Degrees(tile.TileBounds[0]), bottom = Degrees(tile.TileBounds[2]);
            if (!(width > 0) || !(top > bottom) || std::abs(top) > 90 || std::abs(bottom) > 90) continue;
            const int pixels = PixelWidth(tile, file, i % step == 0);
            if (pixels <= 0) continue;
            perPixel.push_back(width / pixels);
            north = std::max(north, top);
            south = std::min(south, bottom);
        }
        first += count;
        if (perPixel.empty()) continue;
        const auto middle = perPixel.begin() + std::ptrdiff_t(perPixel.size() / 2);
        std::nth_element(perPixel.begin(), middle, perPixel.end());
        LevelResolution& level = out[k];
        level.middleLatitude = (north + south) / 2;
        level.metresPerPixel = settings::GroundMetresPerPixel(*middle, level.middleLatitude);
        level.tiles = perPixel.size();
    }
    return out;
}

}  // namespace check
