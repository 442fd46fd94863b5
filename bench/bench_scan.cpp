// Timings of the batch library: the folder scan of 1000 files, the batch save of 200
// files patched in place, and batch regeneration beside the sources (against cp of the
// same files) and in their place (against cp that flushes its copies) in the same run. Exit code 1 when a target is missed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "platform/fs.h"
#include "batch/batch_commands.h"
#include "batch/folder_scan.h"

// The fixture builder is compiled into the benchmark itself: benchmarks link the core
// and the batch library only.
#include "support/jnx_builder.cpp"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

const std::vector<settings::ZoomLevelEntry> kZooms = {
    {"Z200", 200, 300}, {"Z1000", 1000, 1200}, {"Z4000", 4000, 5000}, {"Z60000", 60000, 80000}};

void Fill(const fixture::TempDir& dir, int count, const fixture::JnxRecipe& recipe) {
    const fixture::Bytes bytes = fixture::BuildJnx(recipe).bytes;
    for (int i = 0; i < count; ++i) fixture::WriteBytes(dir.file("map" + std::to_string(i) + ".jnx"), bytes);
}

}  // namespace

int main() {
    bool ok = true;
    {
        fixture::TempDir dir;
        Fill(dir, 1000, fixture::SimpleRecipe(4, 3, 4));
        double best = 1e9;
        for (int run = 0; run < 3; ++run) {
            batch::BatchTable table;
            const auto start = Clock::now();
            batch::LoadFolder(table, dir.path(), kZooms, false);
            best = std::min(best, Seconds(start));
            if (table.size() != 1000) {
                std::printf("scan: %zu rows instead of 1000\n", table.size());
                return 1;
            }
        }
        const double rate = 1000 / best;
        std::printf("scan of 1000 files: %.3f s, %.0f files/s (target >= 2000)\n", best, rate);
        ok = ok && rate >= 2000;
    }
    {
        fixture::TempDir dir;
        Fill(dir, 200, fixture::SimpleRecipe(4, 3, 20));
        batch::BatchTable table;
        batch::LoadFolder(table, dir.path(), kZooms, false);
        edit::EditRequest request;
        request.productId = 42;
        request.levels[0].scale = 5000;
        const auto start = Clock::now();
        const auto summary = batch::BatchSave(table, batch::AllRows(table), request, {});
        const double took = Seconds(start);
        std::printf("batch save of 200 files in place: %.3f s, %d updated, %d errors (target < 2 s)\n", took,
                    summary.updated, summary.errors);
        ok = ok && took < 2.0 && summary.updated == 200;
    }
    {
        // Large tiles, so the copying dominates as it does with real maps.
        constexpr int kFiles = 10, kRuns = 3;
        fixture::JnxRecipe recipe = fixture::SimpleRecipe(3, 2, 0);
        for (auto& level : recipe.levels) {
            for (int t = 0; t < 160; ++t) {
                fixture::TileRecipe tile;
                tile.data = fixture::MakeTileData(t + 1, 64 * 1024);
                level.tiles.push_back(tile);
            }
        }
        // Best of a few runs each: cp of the same files, cp whose copies are flushed to
        // the device, the batch beside the sources and the batch in their place (a new
        // file is flushed before it takes its source's place).
        double copy = 1e9, durableCopy = 1e9, beside = 1e9, replacing = 1e9;
        for (int run = 0; run < kRuns; ++run) {
            fixture::TempDir dir;
            Fill(dir, kFiles, recipe);
            for (const bool durable : {false, true}) {
                fixture::TempDir copies;
                const std::string command = "cp '" + dir.path() + "'/*.jnx '" + copies.path() + "'" +
                                            (durable ? " && sync '" + copies.path() + "'/*.jnx" : "");
                ::sync();
                const auto start = Clock::now();
                if (std::system(command.c_str()) != 0) return 1;
                double& best = durable ? durableCopy : copy;
                best = std::min(best, Seconds(start));
            }
            for (const bool replace : {false, true}) {
                batch::BatchTable table;
                batch::LoadFolder(table, dir.path(), kZooms, false);
                edit::EditRequest request;
                request.targetVersion = 4;  // from version 3: every file is regenerated
                request.replaceSource = replace;
                ::sync();
                const auto start = Clock::now();
                const auto summary = batch::BatchSave(table, batch::AllRows(table), request, {});
                double& best = replace ? replacing : beside;
                best = std::min(best, Seconds(start));
                if (summary.created != kFiles) {
                    std::printf("batch regeneration: %d created instead of %d\n", summary.created, kFiles);
                    return 1;
                }
                if (!replace && std::system(("rm -f '" + dir.path() + "'/*_new.jnx").c_str()) != 0) return 1;
            }
        }
        const double mb = double(kFiles) * double(fixture::BuildJnx(recipe).bytes.size()) / 1e6;
        std::printf("batch regeneration of %d files, %.0f MB: beside them %.3f s, cp %.3f s (ratio %.2f, target <= 1.3)\n",
                    kFiles, mb, beside, copy, beside / copy);
        std::printf("  replacing them %.3f s, cp with sync %.3f s (ratio %.2f, target <= 1.3)\n", replacing,
                    durableCopy, replacing / durableCopy);
        ok = ok && beside / copy <= 1.3 && replacing / durableCopy <= 1.3;
    }
    return ok ? 0 : 1;
}
