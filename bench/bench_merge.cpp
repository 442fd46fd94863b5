// Merges three large files of one area and compares the time with `cat` of the same
// three files into one, in the same run and with a warm cache; prints the peak RSS of
// the merge. Usage: bench_merge [--mb N] [--dir FOLDER] [--runs N]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "compose/merge_plan.h"
#include "compose/merge_write.h"
#include "jnx/reader.h"
// The fixture builder is test code; the bench builds its files the same way.
#include "support/jnx_builder.cpp"

namespace {

namespace fs = std::filesystem;
constexpr std::size_t kTileBytes = 30000;

// Built in a child process so that the fixture's bytes never count in this process's RSS.
bool MakeFile(const std::string& path, int levels, std::size_t megabytes, int seedBase) {
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        fixture::JnxRecipe recipe;
        recipe.version = 4;
        const std::size_t tiles = megabytes * 1000000 / kTileBytes;
        int seed = seedBase;
        for (int i = 0; i < levels; ++i) {
            fixture::LevelRecipe level;
            level.scale = 1000 * (seedBase + i);
            level.zoom = i + 1;
            for (std::size_t j = 0; j < tiles / std::size_t(levels); ++j, ++seed) {
                fixture::TileRecipe tile;
                tile.data = fixture::MakeTileData(seed, kTileBytes - std::size_t(seed % 1000));
                level.tiles.push_back(std::move(tile));
            }
            recipe.levels.push_back(std::move(level));
        }
        fixture::WriteBytes(path, fixture::BuildJnx(recipe).bytes);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

bool Merge(const std::vector<std::string>& paths, const std::string& out, std::string& written) {
    jnx::JnxDocument doc;
    std::vector<compose::MergeSource> sources;
    for (const auto& path : paths) {
        compose::MergeSource source;
        source.path = path;
        std::int32_t tiles = 0;
        platform::Error error;
        if (!jnx::ReadJnx(doc, path, tiles, error, jnx::ReadDepth::Quick)) {
            std::cerr << platform::ErrorText(error) << "\n";
            return false;
        }
        source.version = doc.Header.Version;
        source.levelCount = doc.Header.LevelCount;
        source.totalTiles = tiles;
        source.content = compose::MergeContentOf(doc);
        sources.push_back(std::move(source));
    }
    const auto planning = compose::PlanMerge(sources, {}, compose::MergeFolderRule{"", out});
    if (planning.outcome != compose::MergePlanning::Outcome::Planned) {
        std::cerr << "not planned\n";
        return false;
    }
    platform::Error error;
    if (!compose::WriteMerge(planning.plan, doc, written, error)) {
        std::cerr << platform::ErrorText(error) << "\n";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t megabytes = 150;
    int runs = 7;
    std::string dir;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--mb") megabytes = std::size_t(std::atol(argv[i + 1]));
        else if (arg == "--dir") dir = argv[i + 1];
        else if (arg == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
    }
    const bool ownDir = dir.empty();
    if (ownDir) dir = (fs::temp_directory_path() / ("tessaly-bench-merge-" + std::to_string(getpid()))).string();
    fs::create_directories(dir);
    const std::string out = dir + "/out";
    fs::create_directories(out);

    const std::vector<std::string> paths{dir + "/a.jnx", dir + "/b.jnx", dir + "/c.jnx"};
    const int levels[] = {1, 2, 2};
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (fs::exists(paths[i])) continue;
        if (!MakeFile(paths[i], levels[i], megabytes, 1 + int(i) * 100000)) {
            std::cerr << "cannot build " << paths[i] << "\n";
            return 1;
        }
    }
    std::uintmax_t total = 0;
    for (const auto& p : paths) total += fs::file_size(p);

    const std::string catCommand =
        "cat '" + paths[0] + "' '" + paths[1] + "' '" + paths[2] + "' > '" + out + "/cat.out'";
    if (std::system(catCommand.c_str()) != 0) return 1;  // warms the cache

    double bestCat = 1e9, bestMerge = 1e9;
    // Each timed run starts with no output of the other still waiting to be written back.
    for (int run = 0; run < runs; ++run) {
        fs::remove(out + "/cat.out");
        sync();
        auto start = std::chrono::steady_clock::now();
        if (std::system(catCommand.c_str()) != 0) return 1;
        bestCat = std::min(bestCat, Seconds(start));
        fs::remove(out + "/cat.out");
        sync();

        std::string written;
        start = std::chrono::steady_clock::now();
        if (!Merge(paths, out, written)) return 1;
        bestMerge = std::min(bestMerge, Seconds(start));
        fs::remove(written);
    }

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double peakMb = double(usage.ru_maxrss) / 1024.0;
    std::printf("sources: 3 files, %.1f MB together\n", double(total) / 1e6);
    std::printf("cat:   %.3f s (best of %d)\n", bestCat, runs);
    std::printf("merge: %.3f s (best of %d)\n", bestMerge, runs);
    std::printf("ratio merge/cat: %.2f (limit 1.30)\n", bestMerge / bestCat);
    std::printf("peak RSS: %.1f MB (limit 64)\n", peakMb);
    if (ownDir) fs::remove_all(dir);
    return (bestMerge / bestCat <= 1.3 && peakMb <= 64.0) ? 0 : 3;
}
