// Times the three writers on one large file and compares them with `cp` in the same run
// and with a warm cache: the in-place update (which must not depend on the file's size),
// the regeneration of the whole file with the default block size (against cp of the
// file; peak RSS printed), and the extraction of a large level (against cp of a plain
// file of the level's size). Usage: bench_writers [--mb N] [--level-mb N] [--dir FOLDER] [--runs N]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "compose/extract.h"
#include "edit/resolve_edit.h"
#include "jnx/modif.h"
#include "jnx/reader.h"
#include "jnx/regenerate.h"
// The fixture builder is test code; the bench builds its file the same way.
#include "support/jnx_builder.cpp"

namespace {

namespace fs = std::filesystem;
constexpr std::size_t kTileBytes = 30000;

// Two levels: the first holds levelMb of images, the second the rest. Built in a child
// process so that the fixture's bytes never count in this process's RSS.
bool MakeFile(const std::string& path, std::size_t megabytes, std::size_t levelMb) {
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        fixture::JnxRecipe recipe;
        recipe.version = 4;
        int seed = 1;
        const std::size_t sizes[] = {levelMb, megabytes > levelMb ? megabytes - levelMb : 1};
        for (int i = 0; i < 2; ++i) {
            fixture::LevelRecipe level;
            level.scale = 4777 / (i + 1);
            level.zoom = i + 1;
            std::size_t bytes = 0;
            while (bytes < sizes[i] * 1000000) {
                fixture::TileRecipe tile;
                tile.data = fixture::MakeTileData(seed, kTileBytes - std::size_t(seed % 1000));
                bytes += tile.data.size();
                ++seed;
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

bool Load(jnx::JnxDocument& doc, const std::string& path) {
    std::int32_t tiles = 0;
    platform::Error error;
    if (!jnx::ReadJnx(doc, path, tiles, error, jnx::ReadDepth::Full)) {
        std::cerr << platform::ErrorText(error) << "\n";
        return false;
    }
    doc.FileName = path;
    return true;
}

// durable: the copy is flushed to the device too, as the writers flush before they publish.
bool TimedCp(const std::string& from, const std::string& to, double& best, bool durable = false) {
    fs::remove(to);
    sync();
    const auto start = std::chrono::steady_clock::now();
    const std::string flush = durable ? " && sync '" + to + "'" : "";
    if (std::system(("cp '" + from + "' '" + to + "'" + flush).c_str()) != 0) return false;
    best = std::min(best, Seconds(start));
    fs::remove(to);
    sync();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t megabytes = 500, levelMb = 200;
    int runs = 5;
    std::string dir;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--mb") megabytes = std::size_t(std::atol(argv[i + 1]));
        else if (arg == "--level-mb") levelMb = std::size_t(std::atol(argv[i + 1]));
        else if (arg == "--dir") dir = argv[i + 1];
        else if (arg == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
    }
    const bool ownDir = dir.empty();
    if (ownDir) dir = (fs::temp_directory_path() / ("tessaly-bench-writers-" + std::to_string(getpid()))).string();
    fs::create_directories(dir);
    const std::string path = dir + "/big.jnx", small = dir + "/small.jnx";
    const std::string regenerated = dir + "/big_new.jnx", level = dir + "/big_Level1.jnx";
    const std::string plain = dir + "/plain.bin", copied = dir + "/copied.bin";
    if (!fs::exists(path) && !MakeFile(path, megabytes, levelMb)) {
        std::cerr << "cannot build " << path << "\n";
        return 1;
    }
    if (!MakeFile(small, 2, 1)) return 1;

    jnx::JnxDocument doc;
    if (!Load(doc, path)) return 1;
    // A plain file as large as level 1's images, for the cp that the extraction is held to.
    const auto& lastOfLevel1 = doc.Tiles[std::size_t(doc.Levels[0].TileCount) - 1];
    const std::uintmax_t levelBytes = std::uintmax_t(lastOfLevel1.DataOffset) + std::uintmax_t(lastOfLevel1.DataSize) -
                                      std::uintmax_t(doc.Tiles[0].DataOffset);
    fs::copy_file(path, plain, fs::copy_options::overwrite_existing);
    fs::resize_file(plain, levelBytes);
    if (std::system(("cat '" + path + "' '" + plain + "' > /dev/null").c_str()) != 0) return 1;  // warm cache

    edit::EditRequest request;
    request.productId = 12;
    request.groupName = "Bench group";
    request.levels[0].scale = 4000;
    const jnx::WriterSettings settings;  // default block size of 200000000
    platform::Error error;
    const auto resolve = [&](const jnx::JnxDocument& d, edit::Purpose purpose, std::optional<int> version) {
        edit::EditRequest r = request;
        r.targetVersion = version;
        edit::ResolvedEdit resolved;
        if (!edit::ResolveEdit(r, d, d.FileName, settings, purpose, resolved, error)) {
            std::cerr << platform::ErrorText(error) << "\n";
            std::exit(1);
        }
        return resolved;
    };

    double bestModif = 1e9, bestModifSmall = 1e9;
    jnx::JnxDocument smallDoc;
    if (!Load(smallDoc, small)) return 1;
    for (int run = 0; run < runs * 4; ++run) {
        auto start = std::chrono::steady_clock::now();
        if (!jnx::ModifJNX(doc, resolve(doc, edit::Purpose::Save, {}).values, path, error)) {
            std::cerr << "ModifJNX: " << platform::ErrorText(error) << "\n";
            return 1;
        }
        bestModif = std::min(bestModif, Seconds(start));
        start = std::chrono::steady_clock::now();
        if (!jnx::ModifJNX(smallDoc, resolve(smallDoc, edit::Purpose::Save, {}).values, small, error)) return 1;
        bestModifSmall = std::min(bestModifSmall, Seconds(start));
    }

    // Each writer twice per run: under a new name, and over its own earlier output, which
    // it replaces only once the new file is on the device (so against a cp that flushes).
    double bestCp = 1e9, bestCpSync = 1e9, bestCpLevel = 1e9, bestCpLevelSync = 1e9;
    double bestRegen = 1e9, bestRegenOver = 1e9, bestExtract = 1e9, bestExtractOver = 1e9;
    const auto regenerate = [&](double& best) {
        if (!Load(doc, path)) return false;
        const auto start = std::chrono::steady_clock::now();
        const edit::ResolvedEdit resolved = resolve(doc, edit::Purpose::Save, 3);
        if (!jnx::RegenerateJnx(doc, resolved.values, 3, path, regenerated, settings, error)) {
            std::cerr << "RegenerateJnx: " << platform::ErrorText(error) << "\n";
            return false;
        }
        best = std::min(best, Seconds(start));
        sync();
        return true;
    };
    const auto extract = [&](double& best) {
        if (!Load(doc, path)) return false;
        const auto start = std::chrono::steady_clock::now();
        const edit::ResolvedEdit resolved = resolve(doc, edit::Purpose::Split, {});
        if (!compose::ExtractLevel(doc, resolved.values, resolved.version, path, level, 1, settings, error)) {
            std::cerr << "ExtractLevel: " << platform::ErrorText(error) << "\n";
            return false;
        }
        best = std::min(best, Seconds(start));
        sync();
        return true;
    };
    for (int run = 0; run < runs; ++run) {
        if (!TimedCp(path, copied, bestCp) || !TimedCp(path, copied, bestCpSync, true)) return 1;
        fs::remove(regenerated);
        if (!regenerate(bestRegen) || !regenerate(bestRegenOver)) return 1;
        fs::remove(regenerated);

        if (!TimedCp(plain, copied, bestCpLevel) || !TimedCp(plain, copied, bestCpLevelSync, true)) return 1;
        fs::remove(level);
        if (!extract(bestExtract) || !extract(bestExtractOver)) return 1;
        fs::remove(level);
        sync();
    }

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double peakMb = double(usage.ru_maxrss) / 1024.0;
    const double regenRatio = bestRegen / bestCp, extractRatio = bestExtract / bestCpLevel;
    const double regenOverRatio = bestRegenOver / bestCpSync, extractOverRatio = bestExtractOver / bestCpLevelSync;
    std::printf("file: %.1f MB, level 1: %.1f MB\n", double(fs::file_size(path)) / 1e6, double(levelBytes) / 1e6);
    std::printf("ModifJNX:      %.2f ms on the large file, %.2f ms on a 2 MB file (limit 20 ms)\n",
                bestModif * 1e3, bestModifSmall * 1e3);
    std::printf("cp file:       %.3f s (with sync %.3f s)\n", bestCp, bestCpSync);
    std::printf("RegenerateJnx: %.3f s  ratio %.2f against cp (limit 1.30)\n", bestRegen, regenRatio);
    std::printf("  over its earlier output: %.3f s  ratio %.2f against cp with sync\n", bestRegenOver,
                regenOverRatio);
    std::printf("cp level size: %.3f s (with sync %.3f s)\n", bestCpLevel, bestCpLevelSync);
    std::printf("ExtractLevel:  %.3f s  ratio %.2f against cp (limit 1.30)\n", bestExtract, extractRatio);
    std::printf("  over its earlier output: %.3f s  ratio %.2f against cp with sync\n", bestExtractOver,
                extractOverRatio);
    std::printf("peak RSS: %.1f MB (limit 64; includes the full reads)\n", peakMb);
    if (ownDir) fs::remove_all(dir);
    const bool fast = regenRatio <= 1.3 && extractRatio <= 1.3 && regenOverRatio <= 1.3 && extractOverRatio <= 1.3;
    return (bestModif < 0.020 && fast && peakMb <= 64.0) ? 0 : 3;
}
