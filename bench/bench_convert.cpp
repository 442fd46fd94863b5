// Times import and export against cp: an MBTiles file of 50 000 JPEG tiles (one full
// level, about 400 MB) becomes a map through `tessaly-cli import`, and the map becomes
// MBTiles again through `tessaly-cli export`; each against `cp` of its input, warm in the
// page cache, best of three.
//
// Usage: bench_convert --cli PATH-OF-tessaly-cli [work-folder]   (default: a new folder
// under the temp folder, removed at the end; a given folder is kept).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/web_tiles_builder.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kZoom = 16;
constexpr int kColumns = 250, kRows = 200;  // 50 000 tiles, the most a level holds

void Die(const std::string& what) {
    std::fprintf(stderr, "bench_convert: %s\n", what.c_str());
    std::exit(1);
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// Best wall time of three runs of a shell command writing output, in seconds. The output
// goes each time to a new name: a file replaced is flushed to the disk first, which cp
// does not do.
double Best(const std::string& command, const std::string& output) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        std::filesystem::remove(output);
        const auto start = Clock::now();
        if (std::system(command.c_str()) != 0) Die("failed: " + command);
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

void MakeSource(const std::string& path) {
    std::vector<fixture::MbtilesRow> rows;
    rows.reserve(std::size_t(kColumns) * kRows);
    const int x0 = 33000, row0 = 40000;
    for (int c = 0; c < kColumns; ++c) {
        for (int r = 0; r < kRows; ++r) {
            const int seed = c * kRows + r;
            // Scan data of 4 to 12 kB, as photographic tiles of 256 pixels have.
            rows.push_back({kZoom, x0 + c, row0 + r, fixture::MakeJpeg(seed, 256, 256, 4000 + std::size_t(seed * 7919 % 8000))});
        }
    }
    fixture::WriteMbtiles(path, rows, {{"name", "Bench"}});
}

}  // namespace

int main(int argc, char** argv) {
    std::string cli, work;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--cli" && i + 1 < argc) cli = argv[++i];
        else work = arg;
    }
    if (cli.empty()) Die("--cli PATH is required");
    const bool keep = !work.empty();
    if (!keep) work = (std::filesystem::temp_directory_path() / ("bench_convert." + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(work);
    const std::string source = work + "/source.mbtiles", map = work + "/map.jnx", back = work + "/back.mbtiles";
    if (!std::filesystem::exists(source)) MakeSource(source);

    const std::string copy = work + "/copy";
    const double cpSource = Best("cp " + Quoted(source) + " " + Quoted(copy), copy);
    const double import = Best(Quoted(cli) + " import " + Quoted(source) + " --out " + Quoted(map) + " >/dev/null", map);
    const double cpMap = Best("cp " + Quoted(map) + " " + Quoted(copy), copy);
    const double exportTime = Best(Quoted(cli) + " export " + Quoted(map) + " --out " + Quoted(back) + " >/dev/null", back);
    std::printf("source: %d tiles, %.0f MB; map %.0f MB\n", kColumns * kRows,
                double(std::filesystem::file_size(source)) / 1e6, double(std::filesystem::file_size(map)) / 1e6);
    std::printf("import   %7.3f s   cp of the MBTiles %7.3f s   ratio %.2f (goal <= 5)\n", import, cpSource,
                import / cpSource);
    std::printf("export   %7.3f s   cp of the map     %7.3f s   ratio %.2f (goal <= 5)\n", exportTime, cpMap,
                exportTime / cpMap);
    if (!keep) std::filesystem::remove_all(work);
    return 0;
}
