// Times the JNX reader: full reads of two large maps of different shapes — many small
// tiles, and few large ones whose check points lie far apart — against reading the same
// file with cat, in this process and as whole `tessaly-cli info` processes; and quick
// reads of a folder of small files, the way a folder scan does.
//
// Usage: bench_read [--cli PATH-OF-tessaly-cli] [work-folder]   (default: a new folder
// under the temp folder, removed at the end; a given folder is kept).
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "jnx/codec.h"
#include "jnx/reader.h"
#include "jnx/records.h"
#include "platform/binary_file.h"
#include "platform/le.h"

namespace {

using jnx::Bytes;

void Die(const std::string& what) { bench::Die("bench_read", what); }

void PutI32(Bytes& out, std::int32_t v) {
    std::uint8_t raw[4];
    platform::StoreI32(raw, v);
    out.insert(out.end(), raw, raw + 4);
}

void PutBytes(Bytes& out, const Bytes& b) { out.insert(out.end(), b.begin(), b.end()); }

// Writes a version 4 file as this program lays it out: header, level table, a 1024-byte
// map block, the tile tables, the images and the trailer. The images are streamed, so
// the builder itself stays small whatever the file size.
void WriteJnx(const std::string& path, int levels, int tilesPerLevel, std::int64_t meanTileSize, unsigned seed) {
    std::mt19937 rng(seed);
    const int total = levels * tilesPerLevel;
    std::vector<std::int32_t> sizes(static_cast<std::size_t>(total));
    for (auto& s : sizes) s = std::int32_t(meanTileSize / 2 + std::int64_t(rng() % std::uint32_t(meanTileSize)));

    const Bytes copyright = jnx::EncodeText("(c) Bench", true);
    Bytes front;
    jnx::JnxHeader header;
    header.Version = 4;
    header.LevelCount = levels;
    header.ProductId = 1;
    header.Bounds = {1, 2, 3, 4};
    std::uint8_t raw[jnx::kHeaderSize];
    jnx::StoreHeader(header, raw);
    front.insert(front.end(), raw, raw + jnx::kHeaderSize);
    PutI32(front, 30);

    const std::int64_t levelTable = std::int64_t(front.size());
    const std::int64_t entrySize = jnx::kLevelEntrySize + 4 + std::int64_t(copyright.size());
    const std::int64_t blockStart = levelTable + levels * entrySize;
    const std::int64_t firstTable = blockStart + jnx::kMapBlockSpan;
    const std::int64_t dataStart = firstTable + std::int64_t(total) * jnx::kTileEntrySize;

    for (int i = 0; i < levels; ++i) {
        jnx::JnxLevel level;
        level.TileCount = tilesPerLevel;
        level.TableOffset = std::int32_t(firstTable + std::int64_t(i) * tilesPerLevel * jnx::kTileEntrySize);
        level.Scale = 1000 >> i;
        std::uint8_t entry[jnx::kLevelEntrySize];
        jnx::StoreLevel(level, entry);
        front.insert(front.end(), entry, entry + jnx::kLevelEntrySize);
        PutI32(front, 2);
        PutBytes(front, copyright);
    }
    PutI32(front, jnx::kMapBlockVersion);
    PutBytes(front, jnx::EncodeText(jnx::NewGuidText(), true));
    PutBytes(front, jnx::EncodeText("Bench group", true));
    front.insert(front.end(), 3, 0);
    PutBytes(front, jnx::EncodeText("Bench map", true));
    PutI32(front, levels);
    for (int i = 0; i < levels; ++i) {
        PutBytes(front, jnx::EncodeText("Level " + std::to_string(i + 1), true));
        PutBytes(front, jnx::EncodeText("Bench level", true));
        PutBytes(front, copyright);
        PutI32(front, i + 1);
    }
    front.resize(std::size_t(firstTable), 0);

    std::int64_t offset = dataStart;
    for (int t = 0; t < total; ++t) {
        jnx::JnxTile tile;
        tile.TileBounds = {t, t + 1, t + 2, t + 3};
        tile.DataSize = sizes[std::size_t(t)];
        tile.DataOffset = std::int32_t(offset);
        offset += tile.DataSize;
        std::uint8_t entry[jnx::kTileEntrySize];
        jnx::StoreTile(tile, entry);
        front.insert(front.end(), entry, entry + jnx::kTileEntrySize);
    }

    platform::Error error;
    platform::BinaryFile file;
    if (!file.Open(path, platform::BinaryFile::Mode::CreateTruncate, error)) Die(platform::ErrorText(error));
    if (!file.WriteAt(0, front.data(), front.size(), error)) Die(platform::ErrorText(error));
    std::int64_t pos = std::int64_t(front.size());
    Bytes chunk;
    for (int t = 0; t < total; ++t) {
        const auto size = std::size_t(sizes[std::size_t(t)]);
        const std::size_t at = chunk.size();
        chunk.resize(at + size);
        for (std::size_t i = 0; i < size; i += 64) chunk[at + i] = std::uint8_t(rng());
        chunk[at] = 0xFF;
        chunk[at + 1] = 0xE0;
        if (chunk.size() >= (std::size_t(4) << 20) || t + 1 == total) {
            if (!file.WriteAt(pos, chunk.data(), chunk.size(), error)) Die(platform::ErrorText(error));
            pos += std::int64_t(chunk.size());
            chunk.clear();
        }
    }
    static const char kTrailer[] = "BirdsEye";
    if (!file.WriteAt(pos, kTrailer, 8, error)) Die(platform::ErrorText(error));
}

// The time of one full read of path: in this process, and as a whole `tessaly-cli info`
// process when cli is given; each against cat of the same file in the same run.
void CompareWithCat(const char* shape, const std::string& path, const std::string& cli) {
    const double catTime = bench::CatSeconds("bench_read", path);
    jnx::JnxDocument doc;
    std::int32_t total = 0;
    platform::Error error;
    const auto timeRead = [&](jnx::ReadDepth depth) {
        return bench::Best(5, [&] {
            if (!jnx::ReadJnx(doc, path, total, error, depth)) Die("full read failed: " + platform::ErrorText(error));
        });
    };
    const double tablesTime = timeRead(jnx::ReadDepth::Tables);
    const double fullTime = timeRead(jnx::ReadDepth::Full);
    std::printf("%s: %.1f MB, %d tiles\n", shape, double(std::filesystem::file_size(path)) / 1e6, total);
    std::printf("  cat:                        %8.1f ms\n", catTime * 1e3);
    std::printf("  structure read (as info):   %8.1f ms  ratio %.3f\n", tablesTime * 1e3, tablesTime / catTime);
    std::printf("  read for writing:           %8.1f ms  ratio %.3f  (a check value per image)\n", fullTime * 1e3,
                fullTime / catTime);
    if (cli.empty()) return;
    const std::string infoCommand = "'" + cli + "' info '" + path + "' > /dev/null";
    const double infoTime = bench::Best(5, [&] {
        if (std::system(infoCommand.c_str()) != 0) Die("tessaly-cli info failed");
    });
    std::printf("  tessaly-cli info process:   %8.1f ms  ratio %.3f\n", infoTime * 1e3, infoTime / catTime);
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const bench::Arguments args = bench::ParseArguments(argc, argv);
    const std::string& cli = args.cli;
    const bool keep = args.keep;
    const fs::path& work = args.work;
    fs::create_directories(work / "small");
    const std::string dense = (work / "dense.jnx").string();
    const std::string sparse = (work / "sparse.jnx").string();

    std::printf("building the maps in %s ...\n", work.string().c_str());
    std::fflush(stdout);
    WriteJnx(dense, 5, 10000, 10000, 1);   // 50 000 tiles of about 10 kB: about 500 MB
    WriteJnx(sparse, 5, 1039, 83000, 7);   // 5 195 large tiles, few per megabyte: about 430 MB
    for (int i = 0; i < 1000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "map%04d.jnx", i);
        WriteJnx((work / "small" / name).string(), 2, 4, 200, unsigned(i + 2));
    }

    CompareWithCat("dense map", dense, cli);
    CompareWithCat("sparse map", sparse, cli);

    jnx::JnxDocument doc;
    std::int32_t total = 0;
    platform::Error error;
    const double quickBigTime = bench::Best(5, [&] {
        if (!jnx::ReadJnx(doc, dense, total, error, jnx::ReadDepth::Quick)) Die("quick read failed: " + platform::ErrorText(error));
    });
    std::vector<std::string> smallFiles;
    for (const auto& entry : fs::directory_iterator(work / "small")) smallFiles.push_back(entry.path().string());
    std::sort(smallFiles.begin(), smallFiles.end());
    const double quickTime = bench::Best(3, [&] {
        for (const auto& path : smallFiles) {
            if (!jnx::ReadJnx(doc, path, total, error, jnx::ReadDepth::Quick)) Die("quick read failed: " + platform::ErrorText(error));
        }
    });
    const double smallFullTime = bench::Best(3, [&] {
        for (const auto& path : smallFiles) {
            if (!jnx::ReadJnx(doc, path, total, error, jnx::ReadDepth::Full)) Die("full read failed: " + platform::ErrorText(error));
        }
    });

    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    struct rusage children {};
    getrusage(RUSAGE_CHILDREN, &children);

    std::printf("quick read of the dense map:  %8.3f ms\n", quickBigTime * 1e3);
    std::printf("quick reads of %zu files:    %8.1f ms  (%.0f files/s)\n", smallFiles.size(), quickTime * 1e3,
                double(smallFiles.size()) / quickTime);
    std::printf("full reads of %zu files:     %8.1f ms  (%.0f files/s)\n", smallFiles.size(), smallFullTime * 1e3,
                double(smallFiles.size()) / smallFullTime);
    std::printf("peak RSS of this process:     %8.1f MB\n", double(usage.ru_maxrss) / 1024.0);
    if (!cli.empty()) std::printf("peak RSS of a child process:  %8.1f MB\n", double(children.ru_maxrss) / 1024.0);

    if (!keep) {
        std::error_code ec;
        fs::remove_all(work, ec);
    }
    return 0;
}
