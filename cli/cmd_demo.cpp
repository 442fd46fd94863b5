// tessaly-cli demo OUT.jnx: a small, valid version 4 file to try the other commands on,
// for people who have no BirdsEye file at hand.
#include <cmath>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/options.h"
#include "jnx/reader.h"
#include "jnx/records.h"
#include "platform/fs.h"
#include "platform/le.h"

namespace cli {

namespace {

using jnx::Bytes;

void PutI32(Bytes& out, std::int32_t value) {
    std::uint8_t b[4];
    platform::StoreI32(b, value);
    out.insert(out.end(), b, b + 4);
}

void PutZ(Bytes& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

void SetI32(Bytes& out, std::size_t at, std::int32_t value) { platform::StoreI32(out.data() + at, value); }

std::int32_t Units(double degrees) { return static_cast<std::int32_t>(std::lround(degrees / 180.0 * 2147483648.0)); }

// A stored tile body: a JPEG without its leading FF D8, a JFIF header, some bytes, FF D9.
Bytes TileBody(int seed) {
    Bytes data = {0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
    std::uint32_t state = 2463534242u + static_cast<std::uint32_t>(seed) * 7919u;
    for (int i = 0; i < 48 + seed * 5; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        data.push_back(static_cast<std::uint8_t>(state));
    }
    data.push_back(0xFF);
    data.push_back(0xD9);
    return data;
}

struct DemoLevel {
    std::int32_t scale;
    int tilesPerSide;
    std::string name;
    std::int32_t zoom;
};

Bytes DemoFile() {
    const double north = 42.5, east = 2.5, south = 42.0, west = 2.0;
    const std::vector<DemoLevel> levels = {{4777, 1, "Overview", 1}, {2388, 2, "Detail", 2}};

    Bytes out;
    jnx::JnxHeader header;
    header.Version = 4;
    header.Bounds = {Units(north), Units(east), Units(south), Units(west)};
    header.LevelCount = static_cast<std::int32_t>(levels.size());
    header.ProductId = 1;
    header.DrawOrder = jnx::kDefaultDrawOrder;
    out.resize(jnx::kHeaderSize);
    jnx::StoreHeader(header, out.data());
    PutI32(out, header.DrawOrder);

    std::vector<std::size_t> tableOffsetFields;
    for (const auto& level : levels) {
        PutI32(out, level.tilesPerSide * level.tilesPerSide);
        tableOffsetFields.push_back(out.size());
        PutI32(out, 0);
        PutI32(out, level.scale);
        PutI32(out, 2);
        PutZ(out, "Tessaly demo");
    }

    const std::size_t blockStart = out.size();
    PutI32(out, jnx::kMapBlockVersion);
    PutZ(out, "7C1E5A2B-3D4F-4A6B-8C9D-0E1F2A3B4C5D");
    PutZ(out, "Tessaly demo maps");
    out.insert(out.end(), 3, 0);
    PutZ(out, "Demo map");
    PutI32(out, header.LevelCount);
    for (const auto& level : levels) {
        PutZ(out, level.name);
        PutZ(out, level.name + " tiles");
        PutZ(out, "Tessaly demo");
        PutI32(out, level.zoom);
    }
    out.resize(blockStart + jnx::kMapBlockSpan, 0);

    struct Pending {
        std::size_t offsetField;
        Bytes body;
    };
    std::vector<Pending> pending;
    int seed = 1;
    for (std::size_t l = 0; l < levels.size(); ++l) {
        SetI32(out, tableOffsetFields[l], static_cast<std::int32_t>(out.size()));
        const int n = levels[l].tilesPerSide;
        const double latStep = (north - south) / n, lonStep = (east - west) / n;
        for (int row = 0; row < n; ++row) {
            for (int col = 0; col < n; ++col) {
                jnx::JnxTile tile;
                tile.TileBounds = {Units(north - row * latStep), Units(west + (col + 1) * lonStep),
                                   Units(north - (row + 1) * latStep), Units(west + col * lonStep)};
                tile.TileAux = {0, 1, 0, 0};
                Bytes body = TileBody(seed++);
                tile.DataSize = static_cast<std::int32_t>(body.size());
                std::uint8_t entry[jnx::kTileEntrySize];
                jnx::StoreTile(tile, entry);
                out.insert(out.end(), entry, entry + jnx::kTileEntrySize);
                pending.push_back({out.size() - 4, std::move(body)});
            }
        }
    }
    for (const auto& tile : pending) {
        SetI32(out, tile.offsetField, static_cast<std::int32_t>(out.size()));
        out.insert(out.end(), tile.body.begin(), tile.body.end());
    }
    const std::string trailer = "BirdsEye";
    out.insert(out.end(), trailer.begin(), trailer.end());
    return out;
}

int Run(const ParsedArgs& parsed) {
    const std::string& path = parsed.operands.front();

    std::string folder = platform::ParentFolder(path);
    if (folder.empty()) folder = ".";
    const std::string temporary = platform::TemporaryPathIn(folder, "demo");
    const Bytes bytes = DemoFile();
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!file.flush()) {
            platform::DeleteFile(temporary);
            std::cerr << path << ": cannot write " << temporary << "\n";
            return kExitFailed;
        }
    }
    // The file is handed out only once the reader accepts it.
    jnx::JnxDocument doc;
    std::int32_t tiles = 0;
    std::string readError;
    std::string moveError;
    if (!jnx::ReadJnx(doc, temporary, tiles, readError, true)) {
        platform::DeleteFile(temporary);
        std::cerr << path << ": " << readError << "\n";
        return kExitFailed;
    }
    if (!platform::MoveFile(temporary, path, moveError)) {
        platform::DeleteFile(temporary);
        std::cerr << path << ": " << moveError << "\n";
        return kExitFailed;
    }
    std::cout << "created " << path << "\n";
    return kExitOk;
}

}  // namespace

extern const Command kDemoCommand{
    "demo", "OUT.jnx", 1, 1,
    "Write a small valid version 4 file of two levels to try the other commands on.",
    {},
    Run,
};

}  // namespace cli
