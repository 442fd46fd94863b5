// Times a raster import against GDAL's own road to the same tiles, in the same run: a
// synthetic GeoTIFF of N x N pixels in UTM (made here through GDAL) becomes a one-level map
// through `tessaly-cli import --levels 1`, against `gdalwarp` to EPSG:4326 (cubic, on all
// cores) plus `gdal_translate` encoding the warped raster as 256-pixel JPEG tiles at
// quality 85, 4:2:0, as the import encodes them. The default five-level import is timed as
// well. Each command runs once under /usr/bin/time, which gives its wall and CPU time and
// its peak memory.
//
// Usage: bench_raster --cli PATH-OF-tessaly-cli [--size N] [work-folder]   (N: 8000
// without it; a given folder is kept, and its GeoTIFF of that size reused).
#include <gdal.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <thread>
#include <vector>

#include "bench_support.h"

namespace {

constexpr const char* kProgram = "bench_raster";

// Smooth shapes with a grain on top, so that the tiles encode to the sizes of imagery.
std::uint8_t Pixel(int x, int y, int band) {
    const std::uint32_t h =
        (std::uint32_t(x) * 73856093u) ^ (std::uint32_t(y) * 19349663u) ^ (std::uint32_t(band) * 83492791u);
    const double shape = 70 * std::sin(x / (90.0 + 20 * band)) * std::cos(y / (130.0 - 20 * band));
    return std::uint8_t(std::clamp(128 + shape + double(h % 41) - 20, 0.0, 255.0));
}

void MakeRaster(const std::string& path, int size) {
    GDALAllRegister();
    const char* options[] = {"TILED=YES", "BIGTIFF=IF_SAFER", nullptr};
    GDALDatasetH ds =
        GDALCreate(GDALGetDriverByName("GTiff"), path.c_str(), size, size, 3, GDT_Byte, const_cast<char**>(options));
    if (!ds) bench::Die(kProgram, "cannot create " + path);
    double transform[6] = {440000, 1, 0, 4480000, 0, -1};  // 1 m pixels, UTM zone 30 north
    GDALSetGeoTransform(ds, transform);
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(srs, 32630);
    GDALSetSpatialRef(ds, srs);
    OSRDestroySpatialReference(srs);
    constexpr int kRows = 256;
    std::vector<std::uint8_t> strip(std::size_t(size) * kRows * 3);
    for (int y0 = 0; y0 < size; y0 += kRows) {
        const int rows = std::min(kRows, size - y0);
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < size; ++x)
                for (int b = 0; b < 3; ++b)
                    strip[(std::size_t(y) * std::size_t(size) + std::size_t(x)) * 3 + std::size_t(b)] =
                        Pixel(x, y0 + y, b);
        if (GDALDatasetRasterIO(ds, GF_Write, 0, y0, size, rows, strip.data(), size, rows, GDT_Byte, 3, nullptr, 3,
                                size * 3, 1) != CE_None)
            bench::Die(kProgram, "cannot write " + path);
    }
    GDALClose(ds);
}

struct Run {
    double wall = 0, cpu = 0, peakMb = 0;
};

// One run of a command under /usr/bin/time.
Run Timed(const std::string& command, const std::filesystem::path& work) {
    const std::string timing = (work / "time.txt").string();
    const std::string full = "/usr/bin/time -f '%e %U %S %M' -o '" + timing + "' " + command + " >/dev/null 2>&1";
    if (std::system(full.c_str()) != 0) bench::Die(kProgram, "failed: " + command);
    std::ifstream in(timing);
    double user = 0, system = 0, kb = 0;
    Run run;
    if (!(in >> run.wall >> user >> system >> kb)) bench::Die(kProgram, "no timing from /usr/bin/time");
    run.cpu = user + system;
    run.peakMb = kb / 1024;
    return run;
}

void Print(const char* what, const Run& run) {
    std::printf("%-44s %8.1f s %9.1f s %8.0f MB\n", what, run.wall, run.cpu, run.peakMb);
}

}  // namespace

int main(int argc, char** argv) {
    int size = 8000;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::string(argv[i]) == "--size" && i + 1 < argc) {
            size = std::atoi(argv[++i]);
            continue;
        }
        rest.push_back(argv[i]);
    }
    if (size < 256 || size > 100000) bench::Die(kProgram, "--size: from 256 to 100000 pixels");
    const bench::Arguments args = bench::ParseArguments(int(rest.size()), rest.data());
    if (args.cli.empty())
        bench::Die(kProgram, "usage: bench_raster --cli PATH-OF-tessaly-cli [--size N] [work-folder]");
    if (!std::filesystem::exists("/usr/bin/time")) bench::Die(kProgram, "/usr/bin/time is needed (package time)");
    const auto in = [&](const char* name) { return "'" + (args.work / name).string() + "'"; };
    const std::string source = (args.work / ("source-" + std::to_string(size) + ".tif")).string();
    if (!std::filesystem::exists(source)) MakeRaster(source, size);

    const Run one = Timed(args.cli + " import '" + source + "' --out " + in("one.jnx") + " --levels 1", args.work);
    const Run five = Timed(args.cli + " import '" + source + "' --out " + in("five.jnx"), args.work);
    const Run warp = Timed(
        "gdalwarp -q -overwrite -t_srs EPSG:4326 -r cubic -multi -wo NUM_THREADS=ALL_CPUS "
        "-co TILED=YES '" +
            source + "' " + in("warped.tif"),
        args.work);
    const Run encode = Timed(
        "gdal_translate -q -co COMPRESS=JPEG -co JPEG_QUALITY=85 -co PHOTOMETRIC=YCBCR "
        "-co TILED=YES -co NUM_THREADS=ALL_CPUS " +
            in("warped.tif") + " " + in("tiles.tif"),
        args.work);
    std::printf("%d x %d pixels, 3 bands, UTM; %u cores\n", size, size, std::thread::hardware_concurrency());
    std::printf("%-44s %10s %11s %11s\n", "", "wall", "CPU", "peak");
    Print("tessaly-cli import, one level", one);
    Print("tessaly-cli import, five levels", five);
    Print("gdalwarp to EPSG:4326", warp);
    Print("gdal_translate to 256-pixel JPEG tiles", encode);
    std::printf("ratio, one level to gdalwarp + gdal_translate: %.2f wall, %.2f CPU\n",
                one.wall / (warp.wall + encode.wall), one.cpu / (warp.cpu + encode.cpu));
    std::printf("ratio, five levels to gdalwarp + gdal_translate: %.2f wall, %.2f CPU\n",
                five.wall / (warp.wall + encode.wall), five.cpu / (warp.cpu + encode.cpu));
    if (!args.keep) std::filesystem::remove_all(args.work);
    return 0;
}
