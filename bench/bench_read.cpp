// Times the JNX reader: a full read of a large file (against reading the same file
// with cat), and quick reads of a folder of small files, the way a folder scan does.
//
// Usage: bench_read [work-folder]   (default: a new folder under the temp folder,
// removed at the end; a given folder is kept).
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "jnx/codec.h"
#include "jnx/reader.h"
#include "jnx/records.h"
#include "platform/binary_file.h"
#include "platform/le.h"

namespace {

using Clock = std::chrono::steady_clock;
using jnx::Bytes;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void Die(const std::string& what) {
    std::fprintf(stderr, "bench_read: %s\n", what.c_str());
    std::exit(1);
}

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

template <typename F>
double Best(int rounds, F&& run) {
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        run();
        best = std::min(best, Seconds(Clock::now() - start));
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const bool keep = argc > 1;
    fs::path work = keep ? fs::path(argv[1]) : fs::temp_directory_path() / ("tessaly-bench-" + std::to_string(std::random_device{}()));
    fs::create_directories(work / "small");
    const std::string big = (work / "big.jnx").string();

    std::printf("building %s ...\n", big.c_str());
    std::fflush(stdout);
    WriteJnx(big, 5, 10000, 10000, 1);  // 50 000 tiles, about 500 MB
    for (int i = 0; i < 1000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "map%04d.jnx", i);
        WriteJnx((work / "small" / name).string(), 2, 4, 200, unsigned(i + 2));
    }
    std::printf("file size: %.1f MB\n", double(fs::file_size(big)) / 1e6);

    const std::string catCommand = "cat '" + big + "' > /dev/null";
    if (std::system(catCommand.c_str()) != 0) Die("cat failed");  // warms the page cache
    const double catTime = Best(3, [&] {
        if (std::system(catCommand.c_str()) != 0) Die("cat failed");
    });

    jnx::JnxDocument doc;
    std::int32_t total = 0;
    platform::Error error;
    const double fullTime = Best(5, [&] {
        if (!jnx::ReadJnx(doc, big, total, error, true)) Die("full read failed: " + platform::ErrorText(error));
    });
    const std::int32_t bigTiles = total;
    const double quickBigTime = Best(5, [&] {
        if (!jnx::ReadJnx(doc, big, total, error, false)) Die("quick read failed: " + platform::ErrorText(error));
    });

    std::vector<std::string> smallFiles;
    for (const auto& entry : fs::directory_iterator(work / "small")) smallFiles.push_back(entry.path().string());
    std::sort(smallFiles.begin(), smallFiles.end());
    const double quickTime = Best(3, [&] {
        for (const auto& path : smallFiles) {
            if (!jnx::ReadJnx(doc, path, total, error, false)) Die("quick read failed: " + platform::ErrorText(error));
        }
    });
    const double smallFullTime = Best(3, [&] {
        for (const auto& path : smallFiles) {
            if (!jnx::ReadJnx(doc, path, total, error, true)) Die("full read failed: " + platform::ErrorText(error));
        }
    });

    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);

    std::printf("cat of the large file:        %8.1f ms\n", catTime * 1e3);
    std::printf("full read of the large file:  %8.1f ms  (%d tiles)\n", fullTime * 1e3, bigTiles);
    std::printf("ratio full read / cat:        %8.3f\n", fullTime / catTime);
    std::printf("quick read of the large file: %8.3f ms\n", quickBigTime * 1e3);
    std::printf("quick reads of %zu files:    %8.1f ms  (%.0f files/s)\n", smallFiles.size(), quickTime * 1e3,
                double(smallFiles.size()) / quickTime);
    std::printf("full reads of %zu files:     %8.1f ms  (%.0f files/s)\n", smallFiles.size(), smallFullTime * 1e3,
                double(smallFiles.size()) / smallFullTime);
    std::printf("peak RSS of this process:     %8.1f MB\n", double(usage.ru_maxrss) / 1024.0);

    if (!keep) {
        std::error_code ec;
        fs::remove_all(work, ec);
    }
    return 0;
}
