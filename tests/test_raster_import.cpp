// Rasters written through GDAL in the test, imported and read back: a projected one lands
// where GDAL's own transform puts its corners and looks like GDAL's own warp of the same
// bounds; nodata is skipped or laid over white; rasters that cannot be placed are refused.
#include <cpl_vsi.h>
#include <gdal.h>
#include <gdal_utils.h>
#include <gtest/gtest.h>
#include <ogr_srs_api.h>

#include <cmath>
#include <functional>
#include <string>

#include "convert/import_jnx.h"
#include "convert/raster_source.h"
#include "convert/web_tiles.h"
#include "support/run_program.h"
#include "support/writer_support.h"

namespace {

using fixture::Bytes;
using platform::ErrorCode;

struct Raster {
    int width = 512, height = 384, bands = 3;
    int epsg = 32630;                                             // 0: no coordinate system
    std::vector<double> transform{440000, 2, 0, 4480000, 0, -2};  // empty: none
    GDALDataType type = GDT_Byte;
    std::optional<double> noData;
    std::function<std::uint8_t(int x, int y, int band)> pixel = [](int x, int y, int band) {
        return std::uint8_t(128 + 100 * std::sin(x / (40.0 + 8 * band)) * std::cos(y / (50.0 - 8 * band)));
    };
};

void WriteGeoTiff(const std::string& path, const Raster& r) {
    GDALAllRegister();
    GDALDatasetH ds =
        GDALCreate(GDALGetDriverByName("GTiff"), path.c_str(), r.width, r.height, r.bands, r.type, nullptr);
    ASSERT_NE(ds, nullptr);
    if (!r.transform.empty()) GDALSetGeoTransform(ds, const_cast<double*>(r.transform.data()));
    if (r.epsg) {
        OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
        OSRImportFromEPSG(srs, r.epsg);
        GDALSetSpatialRef(ds, srs);
        OSRDestroySpatialReference(srs);
    }
    std::vector<std::uint8_t> line(std::size_t(r.width));
    for (int b = 1; b <= r.bands; ++b) {
        GDALRasterBandH band = GDALGetRasterBand(ds, b);
        if (r.noData) GDALSetRasterNoDataValue(band, *r.noData);
        for (int y = 0; y < r.height; ++y) {
            for (int x = 0; x < r.width; ++x) line[std::size_t(x)] = r.pixel(x, y, b);
            ASSERT_EQ(GDALRasterIO(band, GF_Write, 0, y, r.width, 1, line.data(), r.width, 1, GDT_Byte, 0, 0), CE_None);
        }
    }
    GDALClose(ds);
}

// Pixels as GDAL reads them, band-interleaved: a tile's JPEG, or a dataset GDAL made.
std::vector<std::uint8_t> Pixels(GDALDatasetH ds, int bands) {
    const int w = GDALGetRasterXSize(ds), h = GDALGetRasterYSize(ds);
    std::vector<std::uint8_t> out(std::size_t(w) * std::size_t(h) * std::size_t(bands));
    EXPECT_EQ(
        GDALDatasetRasterIO(ds, GF_Read, 0, 0, w, h, out.data(), w, h, GDT_Byte, bands, nullptr, bands, w * bands, 1),
        CE_None);
    GDALClose(ds);
    return out;
}

std::vector<std::uint8_t> DecodedTile(const jnx::JnxDocument& doc, std::size_t i) {
    Bytes jpeg = fixture::WithSoi(fixture::StoredImage(doc, i));
    VSIFCloseL(VSIFileFromMemBuffer("/vsimem/tile.jpg", jpeg.data(), vsi_l_offset(jpeg.size()), FALSE));
    std::vector<std::uint8_t> rgb = Pixels(GDALOpen("/vsimem/tile.jpg", GA_ReadOnly), 3);
    VSIUnlink("/vsimem/tile.jpg");
    return rgb;
}

bool Import(const std::string& source, const std::string& out, const convert::ImportOptions& options,
            platform::Error& error, const convert::ImportProgress& progress = {}) {
    convert::ImportResult result;
    return convert::ImportTiles(source, out, options, result, error, progress);
}

// Geographic, 1024 x 512, with no data west of column westOf.
Raster WithNodataWestOf(int westOf) {
    Raster r;
    r.width = 1024, r.height = 512, r.epsg = 4326, r.noData = 0;
    r.transform = {-3.5, 0.0001, 0, 40.5, 0, -0.0001};
    r.pixel = [inside = r.pixel, westOf](int x, int y, int band) {
        return x < westOf ? std::uint8_t(0) : std::uint8_t(inside(x, y, band) | 1);
    };
    return r;
}

std::pair<int, int> SizeOf(const jnx::JnxTile& t) {
    return {t.TileAux[0] | t.TileAux[1] << 8, t.TileAux[2] | t.TileAux[3] << 8};
}

TEST(RasterImport, ProjectedRasterLandsWhereGdalPutsItAndLooksLikeGdalsWarp) {
    fixture::TempDir dir;
    const std::string tif = dir.file("utm.tif"), out = dir.file("utm.jnx");
    WriteGeoTiff(tif, Raster{});
    convert::ImportOptions options;
    options.raster.levels = 3, options.raster.tileSize = 256;
    platform::Error error;
    ASSERT_TRUE(Import(tif, out, options, error)) << platform::ErrorText(error);
    const jnx::JnxDocument doc = fixture::ReadFull(out);
    ASSERT_EQ(doc.Levels.size(), 3u);

    // The corners of the source, as GDAL transforms them, against the map's bounds.
    OGRSpatialReferenceH utm = OSRNewSpatialReference(nullptr), geo = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(utm, 32630);
    OSRImportFromEPSG(geo, 4326);
    OSRSetAxisMappingStrategy(geo, OAMS_TRADITIONAL_GIS_ORDER);
    OGRCoordinateTransformationH toGeo = OCTNewCoordinateTransformation(utm, geo);
    double xs[4] = {440000, 441024, 440000, 441024}, ys[4] = {4480000, 4480000, 4479232, 4479232};
    ASSERT_TRUE(OCTTransform(toGeo, 4, xs, ys, nullptr));
    OCTDestroyCoordinateTransformation(toGeo);
    OSRDestroySpatialReference(utm);
    OSRDestroySpatialReference(geo);
    const std::size_t finestFirst = std::size_t(doc.Levels[0].TileCount + doc.Levels[1].TileCount);
    const auto& corner = doc.Tiles[finestFirst];
    const double step =
        (convert::Degrees(corner.TileBounds[1]) - convert::Degrees(corner.TileBounds[3])) / SizeOf(corner).first;
    const double edges[] = {*std::max_element(ys, ys + 4), *std::max_element(xs, xs + 4), *std::min_element(ys, ys + 4),
                            *std::min_element(xs, xs + 4)};
    for (std::size_t k = 0; k < 4; ++k) EXPECT_NEAR(convert::Degrees(doc.Header.Bounds[k]), edges[k], 2 * step) << k;
    // The finest level is at the source's own resolution: 2 m pixels, give or take the
    // warp's diagonal rounding, shown at 198.12 times its ground metres per pixel.
    const double metres = step * M_PI / 180 * 6378137 * std::cos(40.46 * M_PI / 180);
    EXPECT_NEAR(metres, 2.0, 0.6);
    EXPECT_NEAR(doc.Levels[2].Scale, 198.12 * metres, 3);

    // Each finest tile against GDAL's warp of the same bounds, where that warp has data.
    GDALDatasetH source = GDALOpen(tif.c_str(), GA_ReadOnly);
    double squared = 0;
    std::int64_t compared = 0;
    for (std::size_t i = finestFirst; i < doc.Tiles.size(); ++i) {
        const std::vector<std::uint8_t> ours = DecodedTile(doc, i);
        const auto& b = doc.Tiles[i].TileBounds;
        const auto [w, h] = SizeOf(doc.Tiles[i]);
        std::vector<std::string> args{"-of",       "MEM", "-t_srs",          "EPSG:4326",       "-r", "cubic",
                                      "-dstalpha", "-ts", std::to_string(w), std::to_string(h), "-te"};
        for (int k : {3, 2, 1, 0}) args.push_back(std::to_string(convert::Degrees(b[std::size_t(k)])));
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        GDALWarpAppOptions* warpOptions = GDALWarpAppOptionsNew(argv.data(), nullptr);
        const std::vector<std::uint8_t> rgba = Pixels(GDALWarp("", nullptr, 1, &source, warpOptions, nullptr), 4);
        GDALWarpAppOptionsFree(warpOptions);
        for (std::size_t p = 0; p < std::size_t(w) * std::size_t(h); ++p) {
            if (rgba[p * 4 + 3] != 255) continue;
            for (std::size_t c = 0; c < 3; ++c) {
                const double d = double(ours[p * 3 + c]) - rgba[p * 4 + c];
                squared += d * d;
                ++compared;
            }
        }
    }
    GDALClose(source);
    ASSERT_GT(compared, 100000);
    const double psnr = 10 * std::log10(255.0 * 255.0 / (squared / double(compared)));
    EXPECT_GE(psnr, 35.0);
}

TEST(RasterImport, NodataTilesAreSkippedAndPartialOnesWhite) {
    fixture::TempDir dir;
    const std::string tif = dir.file("geo.tif"), out = dir.file("geo.jnx");
    WriteGeoTiff(tif, WithNodataWestOf(640));
    convert::ImportOptions options;
    options.raster.levels = 1, options.raster.tileSize = 256;
    platform::Error error;
    ASSERT_TRUE(Import(tif, out, options, error)) << platform::ErrorText(error);
    const jnx::JnxDocument doc = fixture::ReadFull(out);
    ASSERT_EQ(doc.Tiles.size(), 4u);  // columns 2 and 3 of 4, both rows
    EXPECT_NEAR(convert::Degrees(doc.Header.Bounds[3]), -3.5 + 512 * 0.0001, 1e-6);
    for (std::size_t i = 0; i < doc.Tiles.size(); ++i) {
        const std::vector<std::uint8_t> rgb = DecodedTile(doc, i);
        const auto [w, h] = SizeOf(doc.Tiles[i]);
        if (doc.Tiles[i].TileBounds[3] != doc.Header.Bounds[3]) continue;
        for (int y = 0; y < h; y += 37) EXPECT_GE(rgb[(std::size_t(y) * std::size_t(w) + 60) * 3], 250) << y;
    }

    // Too many 256-pixel tiles for a level: the next size up is taken.
    options.raster.tileSize = 0, options.limits.tilesPerLevel = 4;
    ASSERT_TRUE(Import(tif, out, options, error)) << platform::ErrorText(error);
    const jnx::JnxDocument larger = fixture::ReadFull(out);
    ASSERT_FALSE(larger.Tiles.empty());
    EXPECT_EQ(SizeOf(larger.Tiles[0]).first, 512);

    // A size given is kept, and a level beyond a file's tiles is cut into volumes.
    options.raster.tileSize = 256, options.limits.tilesPerLevel = 2;
    ASSERT_TRUE(Import(tif, out, options, error)) << platform::ErrorText(error);
    EXPECT_TRUE(std::filesystem::exists(convert::VolumePath(out, 2)) &&
                !std::filesystem::exists(convert::VolumePath(out, 3)));
}

TEST(RasterImport, RastersThatCannotBePlacedAreRefusedAndCancelLeavesNothing) {
    fixture::TempDir dir;
    const std::string out = dir.file("out.jnx");
    Raster bare, rotated, deep, across;
    across.epsg = 32660;  // 150 km wide at 60 degrees north, 180 degrees at 667 km east
    across.transform = {600000, 300, 0, 6700000, 0, -300};
    bare.epsg = 0;
    bare.transform.clear();
    rotated.transform = {440000, 2, 0.3, 4480000, 0.3, -2};
    deep.type = GDT_UInt16;
    const std::vector<std::tuple<const char*, std::optional<Raster>, ErrorCode>> cases{
        {"not a raster", std::nullopt, ErrorCode::ConvertRasterUnreadable},
        {"no georeferencing", bare, ErrorCode::ConvertRasterNotGeoreferenced},
        {"rotated", rotated, ErrorCode::ConvertRasterRotated},
        {"16-bit", deep, ErrorCode::ConvertRasterUnsupported},
        {"across the 180th meridian", across, ErrorCode::ConvertRasterUnsupported},
    };
    for (const auto& [name, raster, code] : cases) {
        const std::string tif = dir.file(std::string(name) + ".tif");
        raster ? WriteGeoTiff(tif, *raster) : fixture::WriteBytes(tif, Bytes(4000, 'x'));
        platform::Error error;
        EXPECT_FALSE(Import(tif, out, {}, error)) << name;
        EXPECT_EQ(error.code, code) << name;
    }
    const std::string good = dir.file("good.tif");
    WriteGeoTiff(good, Raster{});
    platform::Error error;
    EXPECT_FALSE(Import(good, out, {}, error, [](const char*, std::int64_t, std::int64_t) { return false; }));
    EXPECT_EQ(error.code, ErrorCode::Cancelled);
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(RasterImport, OverviewsServeTheCoarserLevelsFillShowsAndThePlanIsWhatIsMade) {
    fixture::TempDir dir;
    const std::string tif = dir.file("ovr.tif"), out = dir.file("ovr.jnx");
    WriteGeoTiff(tif, WithNodataWestOf(200));
    // Overviews of 2 and 8 painted green, so a tile read from one shows it.
    GDALDatasetH ds = GDALOpen(tif.c_str(), GA_Update);
    const int factors[] = {2, 8};
    ASSERT_EQ(GDALBuildOverviews(ds, "AVERAGE", 2, const_cast<int*>(factors), 0, nullptr, nullptr, nullptr), CE_None);
    for (int b = 1; b <= 3; ++b)
        for (int o = 0; o < 2; ++o) {
            GDALRasterBandH overview = GDALGetOverview(GDALGetRasterBand(ds, b), o);
            std::uint8_t value = b == 2 ? 200 : 10;
            ASSERT_EQ(GDALRasterIO(overview, GF_Write, 0, 0, GDALGetRasterBandXSize(overview),
                                   GDALGetRasterBandYSize(overview), &value, 1, 1, GDT_Byte, 0, 0),
                      CE_None);
        }
    GDALClose(ds);

    convert::ImportOptions options;
    options.raster.levels = 3, options.raster.tileSize = 256;
    options.fill = {0, 0, 255};
    options.scaleFactor = 3.5;
    for (const bool taken : {true, false}) {
        options.raster.overviews = taken;
        convert::RasterPlan plan;
        platform::Error error;
        ASSERT_TRUE(convert::PlanRaster(tif, options, plan, error)) << platform::ErrorText(error);
        ASSERT_TRUE(Import(tif, out, options, error)) << platform::ErrorText(error);
        const jnx::JnxDocument doc = fixture::ReadFull(out);
        ASSERT_EQ(doc.Levels.size(), plan.levels.size());
        std::vector<int> zooms;
        for (std::size_t k = 0; k < plan.levels.size(); ++k) {
            EXPECT_EQ(std::tuple(doc.Levels[k].TileCount, doc.Levels[k].Scale, doc.LevelInfos[k].Zoom),
                      std::tuple(plan.levels[k].Tiles(), plan.levels[k].scale, plan.levels[k].zoom))
                << k;
            zooms.push_back(plan.levels[k].zoom);
        }
        // Taken, the overviews are the levels (1/8, 1/2); else each level halves the next,
        // the coarsest read from the overview of 2 (that of 8 is coarser than it).
        EXPECT_EQ(zooms, taken ? std::vector<int>({11, 13, 14}) : std::vector<int>({12, 13, 14}));
        EXPECT_EQ(plan.levels[0].overview, taken ? 1 : 0);
        for (std::size_t i = 0; i < doc.Tiles.size(); ++i) {
            const std::vector<std::uint8_t> rgb = DecodedTile(doc, i);
            const auto [w, h] = SizeOf(doc.Tiles[i]);
            const std::size_t middle = (std::size_t(h / 2) * std::size_t(w) + std::size_t(w) - 1) * 3;
            const bool coarser = i < std::size_t(doc.Levels[0].TileCount + doc.Levels[1].TileCount);
            EXPECT_EQ(rgb[middle + 1] > 180 && rgb[middle] < 40, coarser) << i;
            // The finest level's western tile lies mostly over no data: the fill shows there.
            if (!coarser && doc.Tiles[i].TileBounds[3] == doc.Header.Bounds[3]) {
                const std::uint8_t* p = &rgb[(std::size_t(h / 2) * std::size_t(w) + 60) * 3];
                EXPECT_TRUE(p[0] < 16 && p[1] < 16 && p[2] > 240) << int(p[0]) << "," << int(p[1]) << "," << int(p[2]);
            }
        }
    }
}

// The command line prints the plan the import follows, writing nothing, and takes a raster's
// options only as they can be used.
TEST(RasterImport, DryRunPrintsThePlanAndRefusesWhatItCannotTake) {
    fixture::TempDir dir;
    const std::string tif = dir.file("utm.tif");
    WriteGeoTiff(tif, Raster{});
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"import", tif});
        return fixture::RunProgram(TESSALY_CLI_PATH, args, dir.path());
    };
    const fixture::ProgramRun shown = run({"--dry-run", "--json", "--levels", "2", "--fill", "#FF8000"});
    ASSERT_EQ(shown.code, 0) << shown.err;
    convert::ImportOptions options;
    options.raster.levels = 2;
    convert::RasterPlan plan;
    platform::Error error;
    ASSERT_TRUE(convert::PlanRaster(tif, options, plan, error));
    EXPECT_EQ(fixture::Occurrences(shown.out, "\"zoom\""), 2);
    for (const convert::RasterLevel& level : plan.levels)
        EXPECT_EQ(fixture::Occurrences(shown.out, "\"tiles\": " + std::to_string(level.Tiles()) + ","), 1);
    EXPECT_EQ(dir.list(), std::vector<std::string>{"utm.tif"});
    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"--out", dir.file("a.jnx"), "--fill", "pink"},
          {"--out", dir.file("a.jnx"), "--json"},
          {"--dry-run", "--zooms", "30"}})
        EXPECT_EQ(run(wrong).code, 2) << wrong.back();
}

}  // namespace
