// Times the deep device check of a map of 50 000 tiles (about 500 MB): each tile's JPEG
// header walked to its frame, in this process and as a whole `tessaly-cli check --deep`
// process, against cat of the same file in the same run. The quick check is timed too.
//
// Usage: bench_check [--cli PATH-OF-tessaly-cli] [work-folder]   (default: a new folder
// under the temp folder, removed at the end; a given folder is kept).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "check/device_check.h"
#include "bench/bench_support.h"
#include "jnx/codec.h"
#include "jnx/front_part.h"
#include "jnx/product_id_copy.h"
#include "platform/binary_file.h"

namespace {

using jnx::Bytes;

void Die(const std::string& what) { bench::Die("bench_check", what); }

// A tile as a camera-made JPEG begins: APP0, quantisation table, baseline frame of
// 256 x 256, Huffman table, scan header; then scan bytes up to size.
Bytes TileImage(std::mt19937& rng, std::size_t size) {
    Bytes b = {0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0, 0xFF, 0xDB, 0x00, 0x43, 0x00};
    b.insert(b.end(), 64, 3);
    b.insert(b.end(), {0xFF, 0xC0, 0x00, 0x11, 8, 1, 0, 1, 0, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1});
    b.insert(b.end(), {0xFF, 0xC4, 0x00, 0x05, 0x00, 0x00, 0x00});
    b.insert(b.end(), {0xFF, 0xDA, 0x00, 0x0C, 3, 1, 0, 2, 0x11, 3, 0x11, 0, 0x3F, 0});
    while (b.size() + 2 < size) b.push_back(std::uint8_t(rng() & 0x7F));
    b.insert(b.end(), {0xFF, 0xD9});
    return b;
}

void WriteMap(const std::string& path, int levels, int tilesPerLevel, std::size_t meanTileSize) {
    std::mt19937 rng(1);
    jnx::FrontPart front;
    front.header.Version = 4;
    front.header.ProductId = 1;
    front.header.Bounds = {1 << 28, 1 << 28, 0, 0};
    front.mapInfo.MapGuid = jnx::EncodeText(jnx::NewGuidText(), true);
    front.mapInfo.GroupName = jnx::EncodeText("Bench group", true);
    front.mapInfo.ReservedBytes = *jnx::ProductIdCopy(1);
    front.mapInfo.MapTitle = jnx::EncodeText("Bench map", true);
    std::vector<std::int32_t> sizes;
    for (int i = 0; i < levels; ++i) {
        front.levels.push_back({tilesPerLevel, 0, 1000 >> i});
        front.levelCopyrights.push_back(jnx::EncodeText("(c) Bench", true));
        front.levelInfos.push_back({jnx::EncodeText("Level", true), jnx::EncodeText("Bench", true),
                                    jnx::EncodeText("(c) Bench", true), i + 1});
        for (int t = 0; t < tilesPerLevel; ++t) {
            jnx::JnxTile tile;
            tile.TileBounds = {1000 + t, 1000 + t, t, t};
            tile.TileAux = {0, 1, 0, 1};
            tile.DataSize = std::int32_t(meanTileSize / 2 + rng() % meanTileSize);
            front.tiles.push_back(tile);
        }
    }
    platform::Error error;
    Bytes bytes;
    if (!jnx::PlaceTilesBackToBack(front, error) || !jnx::BuildFrontPart(front, bytes, error))
        Die(platform::ErrorText(error));
    platform::BinaryFile file;
    if (!file.Open(path, platform::BinaryFile::Mode::CreateTruncate, error)) Die(platform::ErrorText(error));
    Bytes chunk = std::move(bytes);
    std::int64_t pos = 0;
    for (std::size_t t = 0; t < front.tiles.size(); ++t) {
        const Bytes image = TileImage(rng, std::size_t(front.tiles[t].DataSize));
        chunk.insert(chunk.end(), image.begin(), image.end());
        if (chunk.size() >= (std::size_t(4) << 20) || t + 1 == front.tiles.size()) {
            if (t + 1 == front.tiles.size()) chunk.insert(chunk.end(), std::begin(jnx::kTrailer), std::end(jnx::kTrailer));
            if (!file.WriteAt(pos, chunk.data(), chunk.size(), error)) Die(platform::ErrorText(error));
            pos += std::int64_t(chunk.size());
            chunk.clear();
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const bench::Arguments args = bench::ParseArguments(argc, argv);
    const std::string& cli = args.cli;
    const bool keep = args.keep;
    const fs::path& work = args.work;
    fs::create_directories(work);
    const std::string path = (work / "dense.jnx").string();
    std::printf("building the map in %s ...\n", work.string().c_str());
    std::fflush(stdout);
    WriteMap(path, 5, 10000, 10000);  // 50 000 tiles of about 10 kB

    const double catTime = bench::CatSeconds("bench_check", path);
    auto checkTime = [&](bool deep) {
        return bench::Best(3, [&] {
            const check::MapReport report = check::CheckMapFile(path, deep);
            if (!report.read || !report.findings.empty()) Die("the bench map does not check clean");
        });
    };
    const double quick = checkTime(false), deep = checkTime(true);
    std::printf("dense map: %.1f MB, 50000 tiles\n", double(fs::file_size(path)) / 1e6);
    std::printf("  cat:                          %8.1f ms\n", catTime * 1e3);
    std::printf("  quick check in process:       %8.1f ms  ratio %.3f\n", quick * 1e3, quick / catTime);
    std::printf("  deep check in process:        %8.1f ms  ratio %.3f\n", deep * 1e3, deep / catTime);
    if (!cli.empty()) {
        const std::string command = "'" + cli + "' check --deep '" + path + "' > /dev/null";
        const double process = bench::Best(3, [&] {
            if (std::system(command.c_str()) != 0) Die("tessaly-cli check --deep failed");
        });
        std::printf("  tessaly-cli check --deep:     %8.1f ms  ratio %.3f (at most 1.5)\n", process * 1e3,
                    process / catTime);
    }
    if (!keep) {
        std::error_code ec;
        fs::remove_all(work, ec);
    }
    return 0;
}
