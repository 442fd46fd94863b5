// Timings of the batch library: the folder scan of 1000 files, the batch save of 200
// files patched in place, and batch regeneration against cp of the same files (plain and
// flushed) in the same run. Exit code 1 when a target is missed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "platform/fs.h"
#include "ui/batch/batch_commands.h"
#include "ui/batch/folder_scan.h"

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
        batch::SelectAll(table);
        jnx::FixedEditorValues window;
        window.productId = "42";
        window.scaleChoice[0] = 5000;
        const auto start = Clock::now();
        const auto summary = batch::BatchSave(table, window, {}, {});
        const double took = Seconds(start);
        std::printf("batch save of 200 files in place: %.3f s, %d updated, %d errors (target < 2 s)\n", took,
                    summary.updated, summary.errors);
        ok = ok && took < 2.0 && summary.updated == 200;
    }
    {
        // Large tiles, so the copying dominates as it does with real maps.
        fixture::TempDir dir;
        fixture::JnxRecipe recipe = fixture::SimpleRecipe(3, 2, 0);
        for (auto& level : recipe.levels) {
            for (int t = 0; t < 40; ++t) {
                fixture::TileRecipe tile;
                tile.data = fixture::MakeTileData(t + 1, 64 * 1024);
                level.tiles.push_back(tile);
            }
        }
        Fill(dir, 10, recipe);
        // cp of the same files, and cp whose copies are flushed to the device as the batch
        // save flushes each file before publishing it.
        double copy = 0, durableCopy = 0;
        for (const bool durable : {false, true}) {
            fixture::TempDir copies;
            const std::string command = "cp '" + dir.path() + "'/*.jnx '" + copies.path() + "'" +
                                        (durable ? " && sync '" + copies.path() + "'/*.jnx" : "");
            ::sync();
            const auto start = Clock::now();
            if (std::system(command.c_str()) != 0) return 1;
            (durable ? durableCopy : copy) = Seconds(start);
        }

        batch::BatchTable table;
        batch::LoadFolder(table, dir.path(), kZooms, false);
        batch::SelectAll(table);
        batch::PanelValues panel;
        panel.targetVersion = 4;
        jnx::FixedEditorValues window;
        ::sync();
        const auto start = Clock::now();
        const auto summary = batch::BatchSave(table, window, panel, {});
        const double regen = Seconds(start);
        const double ratio = durableCopy > 0 ? regen / durableCopy : 0.0;
        std::printf("batch regeneration of 10 files of 5 MB: %.3f s, cp %.3f s (ratio %.2f), cp with sync %.3f s "
                    "(ratio %.2f, target <= 1.3), %d created\n",
                    regen, copy, copy > 0 ? regen / copy : 0.0, durableCopy, ratio, summary.created);
        ok = ok && summary.created == 10 && ratio <= 1.3;
    }
    return ok ? 0 : 1;
}
