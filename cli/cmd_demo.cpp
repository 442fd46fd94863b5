// tessaly-cli demo OUT.jnx: a small, valid version 4 file to try the other commands on,
// for people who have no BirdsEye file at hand. Its tiles are real pictures, so the
// windows have something to show.
#include <cmath>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/demo_pictures.h"
#include "cli/options.h"
#include "jnx/codec.h"
#include "jnx/product_id_copy.h"
#include "jnx/front_part.h"
#include "jnx/reader.h"
#include "platform/new_file.h"
#include "settings/scale_model.h"

namespace cli {

namespace {

using jnx::Bytes;

std::int32_t Units(double degrees) { return static_cast<std::int32_t>(std::lround(degrees / 180.0 * 2147483648.0)); }

struct DemoLevel {
    int tilesPerSide;
    std::string name;
    std::int32_t zoom;
};

jnx::Bytes Z(const std::string& text) { return jnx::EncodeText(text, true); }

// The demo map's front part and its tile bodies, in file order; false if a picture could
// not be encoded.
bool DemoFront(jnx::FrontPart& front, std::vector<Bytes>& bodies) {
    // About 6 km a side, so that the three levels' native scales fall on the "1.2 km",
    // "800 m" and "300 m" rows and the map's own check finds its scales fit its tiles.
    const double north = 42.3, west = 2.0, east = 2.075;
    const double south = north - (east - west) * std::cos((north - 0.03) * M_PI / 180.0);
    const std::vector<DemoLevel> levels = {{1, "Overview", 1}, {2, "Detail", 2}, {4, "Close-up", 3}};

    front.header.Version = 4;
    front.header.Bounds = {Units(north), Units(east), Units(south), Units(west)};
    front.header.ProductId = 1;
    front.header.DrawOrder = jnx::kDefaultDrawOrder;
    front.mapInfo.MapGuid = Z("7C1E5A2B-3D4F-4A6B-8C9D-0E1F2A3B4C5D");
    front.mapInfo.GroupName = Z("Tessaly demo maps");
    front.mapInfo.MapTitle = Z("Demo map");
    front.mapInfo.ReservedBytes = *jnx::ProductIdCopy(front.header.ProductId);
    constexpr int kTileSide = 256;
    int number = 1;
    for (const auto& level : levels) {
        const int n = level.tilesPerSide;
        const double metresPerPixel =
            settings::GroundMetresPerPixel((east - west) / n / kTileSide, (north + south) / 2);
        front.levels.push_back({n * n, 0, settings::NativeScale(metresPerPixel)});
        front.levelCopyrights.push_back(Z("Tessaly demo"));
        front.levelInfos.push_back({Z(level.name), Z(level.name + " tiles"), Z("Tessaly demo"), level.zoom});
        const double latStep = (north - south) / n, lonStep = (east - west) / n;
        for (int row = 0; row < n; ++row) {
            for (int col = 0; col < n; ++col) {
                jnx::JnxTile tile;
                tile.TileBounds = {Units(north - row * latStep), Units(west + (col + 1) * lonStep),
                                   Units(north - (row + 1) * latStep), Units(west + col * lonStep)};
                tile.TileAux = {kTileSide & 0xFF, kTileSide >> 8, kTileSide & 0xFF, kTileSide >> 8};  // width, height
                const Bytes picture = DemoTilePicture(number, col, row, n, kTileSide);
                if (picture.size() < 4) return false;
                bodies.emplace_back(picture.begin() + 2, picture.end());  // stored without FF D8
                tile.DataSize = static_cast<std::int32_t>(bodies.back().size());
                front.tiles.push_back(tile);
            }
        }
        ++number;
    }
    return true;
}

// Written through the publish step; handed out only once the reader accepts it.
bool WriteDemo(const std::string& path, platform::Error& error) {
    std::vector<Bytes> bodies;
    jnx::FrontPart front;
    if (!DemoFront(front, bodies))
        return platform::Fail(error, platform::Error(platform::ErrorCode::CannotWrite).Detail("the JPEG encoder failed"));
    Bytes bytes;
    if (!jnx::PlaceTilesBackToBack(front, error) || !jnx::BuildFrontPart(front, bytes, error)) return false;
    for (const Bytes& body : bodies) jnx::AppendBytes(bytes, body);
    bytes.insert(bytes.end(), std::begin(jnx::kTrailer), std::end(jnx::kTrailer));
    platform::NewFile out(path);
    if (!out.Create(error) || !out.File().WriteAt(0, bytes.data(), bytes.size(), error)) return false;
    const auto readable = [&](platform::BinaryFile&, platform::Error& e) {
        jnx::JnxDocument doc;
        std::int32_t tiles = 0;
        return jnx::ReadJnx(doc, out.TemporaryPath(), tiles, e, jnx::ReadDepth::Full);
    };
    return out.Publish(error, readable);
}

int Run(const ParsedArgs& parsed) {
    const std::string& path = parsed.operands.front();
    platform::Error error;
    if (!WriteDemo(path, error)) {
        std::cerr << path << ": " << platform::ErrorText(error) << "\n";
        return kExitFailed;
    }
    std::cout << "created " << path << "\n";
    return kExitOk;
}

}  // namespace

extern const Command kDemoCommand{
    "demo", "OUT.jnx", 1, 1,
    "Write a small valid version 4 file of three levels, with real JPEG tiles, to try the other commands on.",
    {},
    Run,
};

}  // namespace cli
