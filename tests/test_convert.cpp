// Import of web-map tiles and export to MBTiles, on sources built in code: the round trip
// keeps every tile byte for byte, and every refusal leaves the output folder as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <tuple>

#include "convert/export_kmz.h"
#include "convert/export_mbtiles.h"
#include "convert/import_jnx.h"
#include "convert/web_tiles.h"
#include "jnx/codec.h"
#include "jnx/front_part.h"
#include "jnx/product_id_copy.h"
#include "platform/fs.h"
#include "support/run_program.h"
#include "support/web_tiles_builder.h"
#include "support/writer_support.h"

namespace {

using convert::TileKey;
using fixture::JnxBoundsUnion;
using fixture::MakeJpeg;
using fixture::MbtilesRow;
using platform::ErrorCode;

// Sparse tiles of zooms 0 to 5 around the map's east edge and one pole, so the default
// choice drops zoom 0, and tiles at 180 degrees east and near 85 degrees north come back
// exact. One tile's frame header lies beyond the first read.
std::vector<MbtilesRow> SampleRows() {
    std::vector<MbtilesRow> rows{{0, 0, 0, MakeJpeg(0, 250, 260)}};
    int seed = 1;
    for (int zoom = 1; zoom <= 5; ++zoom) {
        const int last = (1 << zoom) - 1;
        for (const auto& [column, row] : {std::pair{0, last}, std::pair{last, 0}, std::pair{last, last}}) {
            const std::uint16_t app = seed == 7 ? 9000 : 16;
            rows.push_back({zoom, column, row, MakeJpeg(seed, std::uint16_t(250 + seed), std::uint16_t(260 - seed), 100, app)});
            ++seed;
        }
    }
    return rows;
}

void Sql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    fixture::SqlOrThrow(db, sql);
    sqlite3_close(db);
}

class ConvertTest : public ::testing::Test {
protected:
    fixture::TempDir dir, out;

    bool Import(const std::string& source, const convert::ImportOptions& options, platform::Error& error) {
        convert::ImportResult result;
        return convert::ImportTiles(source, out.file("map.jnx"), options, result, error);
    }
};

TEST_F(ConvertTest, MbtilesToJnxAndBackKeepsEveryRow) {
    const std::vector<MbtilesRow> rows = SampleRows();
    fixture::WriteMbtiles(dir.file("in.mbtiles"), rows, {{"name", "Peaks"}, {"description", "Summer imagery"}});
    convert::ImportOptions options;
    options.productId = 3;
    platform::Error error;
    ASSERT_TRUE(Import(dir.file("in.mbtiles"), options, error)) << platform::ErrorText(error);

    const jnx::JnxDocument doc = fixture::ReadFull(out.file("map.jnx"));
    ASSERT_EQ(doc.Levels.size(), 5u);
    EXPECT_EQ(std::tuple(jnx::DecodeText(doc.MapInfo.GroupName, true), jnx::DecodeText(doc.MapInfo.MapTitle, true),
                         doc.MapInfo.ReservedBytes),
              std::tuple("Peaks", "Summer imagery", *jnx::ProductIdCopy(3)));
    JnxBoundsUnion bounds;
    std::size_t tile = 0;
    // round(34 115 555 / 2^zoom × cos φ / 1.1): these rows centre on the equator, so cos φ = 1;
    // the latitude's part is pinned by a map of the Alps at 46°.
    const std::int32_t kScales[] = {15507070, 7753535, 3876768, 1938384, 969192};
    EXPECT_EQ(convert::ScaleForZoom(12, 46.0), 5260);
    for (std::size_t k = 0; k < doc.Levels.size(); ++k) {
        const int zoom = int(k) + 1;  // coarsest first, zoom 0 left out
        EXPECT_EQ(doc.LevelInfos[k].Zoom, zoom);
        EXPECT_EQ(doc.Levels[k].Scale, kScales[k]);
        for (int n = 0; n < doc.Levels[k].TileCount; ++n, ++tile) {
            const auto& t = doc.Tiles[tile];
            const auto key = convert::WebTileAt(t.TileBounds);
            ASSERT_TRUE(key && key->zoom == zoom);
            EXPECT_EQ(t.TileBounds, convert::BoundsOf(*key));
            const auto source = std::find_if(rows.begin(), rows.end(), [&](const MbtilesRow& r) {
                return r.zoom == zoom && r.column == int(key->x) && r.row == int(convert::FlipRow(zoom, key->y));
            });
            ASSERT_NE(source, rows.end());
            EXPECT_EQ(fixture::StoredImage(doc, tile), jnx::Bytes(source->data->begin() + 2, source->data->end()));
            const int width = t.TileAux[0] | t.TileAux[1] << 8, height = t.TileAux[2] | t.TileAux[3] << 8;
            EXPECT_EQ(width + height, 510);  // as the seed gave them
            bounds.Add(t.TileBounds);
        }
    }
    EXPECT_EQ(doc.Header.Bounds, bounds.value);
    // The corners of the grid: 85.0511... degrees (atan(sinh(pi))) north and south, and
    // 180 degrees east kept within the field.
    const std::int32_t pole = std::int32_t(std::lround(85.0511287798066 / 180 * 2147483648.0));
    EXPECT_EQ(doc.Header.Bounds, (std::array<std::int32_t, 4>{pole, INT32_MAX, -pole, INT32_MIN}));

    convert::ExportResult exported;
    ASSERT_TRUE(convert::ExportMbtiles(out.file("map.jnx"), out.file("back.mbtiles"), {}, exported, error))
        << platform::ErrorText(error);
    std::vector<MbtilesRow> kept;
    for (const auto& row : rows)
        if (row.zoom > 0) kept.push_back(row);
    std::sort(kept.begin(), kept.end(), [](const MbtilesRow& a, const MbtilesRow& b) {
        return std::tie(a.zoom, a.column, a.row) < std::tie(b.zoom, b.column, b.row);
    });
    EXPECT_EQ(fixture::ReadMbtiles(out.file("back.mbtiles")), kept);

    // The export's group and title come back on a second import, and a chosen level subset
    // exports alone.
    ASSERT_TRUE(convert::ExportMbtiles(out.file("map.jnx"), out.file("two.mbtiles"), {2, 4}, exported, error));
    EXPECT_EQ(exported.zooms, (std::vector<int>{2, 4}));
    convert::ImportResult imported;
    ASSERT_TRUE(convert::ImportTiles(out.file("two.mbtiles"), out.file("again.jnx"), {}, imported, error));
    const jnx::JnxDocument again = fixture::ReadFull(out.file("again.jnx"));
    EXPECT_EQ(std::tuple(jnx::DecodeText(again.MapInfo.GroupName, true), jnx::DecodeText(again.MapInfo.MapTitle, true),
                         again.Levels.size()),
              std::tuple("Peaks", "Summer imagery", 2u));
}

// A folder counts rows from the north, MBTiles from the south: both give the same map,
// also when the tiles table is a view over the images, as deduplicating writers make it.
TEST_F(ConvertTest, FolderImportMatchesMbtilesImport) {
    std::vector<MbtilesRow> rows;
    ASSERT_EQ(::mkdir(dir.file("tiles").c_str(), 0755), 0);
    for (int zoom : {3, 4}) {
        ::mkdir(dir.file("tiles/" + std::to_string(zoom)).c_str(), 0755);
        for (int x : {2, 5, 10}) {
            if (x >= (1 << zoom)) continue;
            const std::string column = "tiles/" + std::to_string(zoom) + "/" + std::to_string(x);
            ::mkdir(dir.file(column).c_str(), 0755);
            for (int y : {1, 6}) {
                const auto jpeg = MakeJpeg(zoom * 100 + x * 10 + y, 256, 256, 100, x == 5 && y == 6 ? 9000 : 16);
                fixture::WriteBytes(dir.file(column + "/" + std::to_string(y) + (y == 1 ? ".jpg" : ".JPEG")), jpeg);
                rows.push_back({zoom, x, (1 << zoom) - 1 - y, jpeg});
            }
        }
    }
    fixture::WriteBytes(dir.file("tiles/3/2/notes.txt"), {'x'});  // no tile: passed over
    fixture::WriteMbtiles(dir.file("same.mbtiles"), rows);
    Sql(dir.file("same.mbtiles"), "ALTER TABLE tiles RENAME TO images; CREATE VIEW tiles AS SELECT * FROM images");
    platform::Error error;
    convert::ImportResult result;
    ASSERT_TRUE(convert::ImportTiles(dir.file("tiles"), out.file("folder.jnx"), {}, result, error))
        << platform::ErrorText(error);
    ASSERT_TRUE(convert::ImportTiles(dir.file("same.mbtiles"), out.file("db.jnx"), {}, result, error));
    const jnx::JnxDocument folder = fixture::ReadFull(out.file("folder.jnx")),
                           db = fixture::ReadFull(out.file("db.jnx"));
    EXPECT_EQ(std::tuple(jnx::DecodeText(folder.MapInfo.GroupName, true), folder.Header.Bounds),
              std::tuple("tiles", db.Header.Bounds));
    ASSERT_EQ(folder.Tiles.size(), rows.size());
    std::vector<std::pair<std::array<std::int32_t, 4>, jnx::Bytes>> a, b;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        a.emplace_back(folder.Tiles[i].TileBounds, fixture::StoredImage(folder, i));
        b.emplace_back(db.Tiles[i].TileBounds, fixture::StoredImage(db, i));
    }
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b);
}

// Sources and maps of megabytes, read as SQLite reads a tiles table (page by page, forwards
// with small steps back), as a view over images stored in another order (jumping about),
// and a map whose images lie in the reverse of its tiles' order: every byte comes through.
TEST_F(ConvertTest, LargeSourcesAndMapsReadWholeInAnyOrder) {
    std::vector<MbtilesRow> rows;
    for (int column = 0; column < 32; ++column)
        for (int row = 0; row < 24; ++row) {
            const int seed = column * 100 + row;
            rows.push_back({6, column, row, MakeJpeg(seed, 256, 256, std::size_t(300 + seed * 7919 % 15000))});
        }
    fixture::WriteMbtiles(dir.file("plain.mbtiles"), rows);
    std::vector<MbtilesRow> shuffled = rows;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(5));
    fixture::WriteMbtiles(dir.file("view.mbtiles"), shuffled);
    Sql(dir.file("view.mbtiles"), "ALTER TABLE tiles RENAME TO images; CREATE VIEW tiles AS SELECT * FROM images");
    platform::Error error;
    convert::ImportResult imported;
    ASSERT_TRUE(convert::ImportTiles(dir.file("plain.mbtiles"), out.file("plain.jnx"), {}, imported, error))
        << platform::ErrorText(error);
    ASSERT_TRUE(convert::ImportTiles(dir.file("view.mbtiles"), out.file("view.jnx"), {}, imported, error));
    const fixture::LevelTiles tiles = fixture::TilesIn(out.file("plain.jnx"));
    ASSERT_EQ(tiles.size(), 1u);
    ASSERT_EQ(tiles[0].size(), rows.size());
    EXPECT_TRUE(tiles == fixture::TilesIn(out.file("view.jnx")));

    const jnx::JnxDocument plain = fixture::ReadFull(out.file("plain.jnx"));
    fixture::JnxRecipe recipe;
    recipe.bounds = plain.Header.Bounds;
    recipe.reverseDataOrder = true;
    fixture::LevelRecipe& level = recipe.levels.emplace_back();
    level.scale = plain.Levels[0].Scale;
    level.zoom = plain.LevelInfos[0].Zoom;
    for (std::size_t i = 0; i < plain.Tiles.size(); ++i)
        level.tiles.push_back({tiles[0][i].data, plain.Tiles[i].TileBounds, plain.Tiles[i].TileAux});
    fixture::WriteBytes(out.file("reversed.jnx"), fixture::BuildJnx(recipe).bytes);
    std::sort(rows.begin(), rows.end(), [](const MbtilesRow& a, const MbtilesRow& b) {
        return std::tie(a.zoom, a.column, a.row) < std::tie(b.zoom, b.column, b.row);
    });
    for (const char* map : {"plain", "reversed"}) {
        convert::ExportResult exported;
        const std::string back = out.file(std::string(map) + ".mbtiles");
        ASSERT_TRUE(convert::ExportMbtiles(out.file(std::string(map) + ".jnx"), back, {}, exported, error))
            << platform::ErrorText(error);
        EXPECT_EQ(fixture::ReadMbtiles(back), rows) << map;
    }
}

// Tiles of zoom 6 in rows of 3, 3, 3, 12, 4 and 4, under zooms 5 and 3 that also reach
// where zoom 6 has no tiles. Cut by tile count and by bytes, every zoom-6 tile lands in
// exactly one volume, with exactly the coarser tiles over it, and nothing else.
TEST_F(ConvertTest, VolumesHoldEveryFinestTileOnceWithTheTilesOverIt) {
    std::map<std::tuple<int, std::uint32_t, std::uint32_t>, fixture::Bytes> source;  // zoom, x, y from the north
    const auto add = [&](int zoom, std::uint32_t x, std::uint32_t y) {
        source[{zoom, x, y}] = MakeJpeg(int(source.size()), 256, 256, 100 + 37 * source.size() % 300);
    };
    for (std::uint32_t y = 20; y <= 25; ++y) {
        const auto [first, last] = y < 23 ? std::pair(30u, 32u) : y == 23 ? std::pair(24u, 35u) : std::pair(28u, 31u);
        for (std::uint32_t x = first; x <= last; ++x) add(6, x, y);
    }
    for (std::uint32_t y = 10; y <= 12; ++y)
        for (std::uint32_t x = 12; x <= 17; ++x) add(5, x, y);
    for (std::uint32_t y = 2; y <= 3; ++y)
        for (std::uint32_t x = 3; x <= 4; ++x) add(3, x, y);
    add(5, 0, 0), add(3, 0, 0);
    std::vector<MbtilesRow> rows;
    for (const auto& [key, bytes] : source)
        rows.push_back({std::get<0>(key), int(std::get<1>(key)), int(convert::FlipRow(std::get<0>(key), std::get<2>(key))), bytes});
    fixture::WriteMbtiles(dir.file("in.mbtiles"), rows);
    const auto over = [](const TileKey& coarse, const TileKey& fine) {
        const int shift = fine.zoom - coarse.zoom;
        return shift > 0 && fine.x >> shift == coarse.x && fine.y >> shift == coarse.y;
    };
    std::int64_t overNothing = 0;
    for (const auto& [key, bytes] : source) {
        const TileKey coarse{std::get<0>(key), std::get<1>(key), std::get<2>(key)};
        overNothing += coarse.zoom < 6 && std::none_of(source.begin(), source.end(), [&](const auto& fine) {
            return std::get<0>(fine.first) == 6 &&
                   over(coarse, {std::get<0>(fine.first), std::get<1>(fine.first), std::get<2>(fine.first)});
        });
    }

    platform::Error error;
    convert::ImportResult whole;
    ASSERT_TRUE(convert::ImportTiles(dir.file("in.mbtiles"), dir.file("whole.jnx"), {}, whole, error));
    ASSERT_FALSE(whole.volumes);
    const std::int64_t wholeLength = whole.files.at(0).length;

    struct Cut {
        convert::VolumeLimits limits;
        std::vector<std::int64_t> finestPerVolume;  // empty: not checked
    };
    for (const Cut& cut : {Cut{{10, jnx::device::kMaxFileLength}, {9, 10, 2, 8}},
                           Cut{{jnx::device::kMaxTilesPerLevel, wholeLength / 3}, {}}}) {
        fixture::TempDir to;
        convert::ImportOptions options;
        options.limits = cut.limits;
        convert::ImportResult result;
        ASSERT_TRUE(convert::ImportTiles(dir.file("in.mbtiles"), to.file("map.jnx"), options, result, error))
            << platform::ErrorText(error);
        ASSERT_TRUE(result.volumes);
        EXPECT_EQ(result.leftOut, overNothing);
        std::vector<std::string> names;
        std::map<std::tuple<int, std::uint32_t, std::uint32_t>, int> finestSeen;
        std::vector<std::int64_t> finestPerVolume;
        for (const convert::WrittenFile& file : result.files) {
            names.push_back(platform::FileNameOf(file.path));
            EXPECT_LE(std::int64_t(fixture::ReadBytes(file.path).size()), cut.limits.fileLength);
            const jnx::JnxDocument doc = fixture::ReadFull(file.path);
            std::vector<TileKey> finest, coarser;
            JnxBoundsUnion bounds;
            for (std::size_t i = 0; i < doc.Tiles.size(); ++i) {
                const auto key = convert::WebTileAt(doc.Tiles[i].TileBounds);
                ASSERT_TRUE(key);
                const auto found = source.find({key->zoom, key->x, key->y});
                ASSERT_NE(found, source.end());
                EXPECT_EQ(fixture::StoredImage(doc, i), jnx::Bytes(found->second.begin() + 2, found->second.end()));
                (key->zoom == 6 ? finest : coarser).push_back(*key);
                bounds.Add(doc.Tiles[i].TileBounds);
            }
            EXPECT_EQ(doc.Header.Bounds, bounds.value);
            for (const auto& level : doc.Levels) EXPECT_LE(level.TileCount, cut.limits.tilesPerLevel);
            for (const TileKey& key : finest) ++finestSeen[{key.zoom, key.x, key.y}];
            finestPerVolume.push_back(std::int64_t(finest.size()));
            // The coarser tiles are exactly those of the source over this volume's finest tiles.
            std::size_t expected = 0;
            for (const auto& [k, bytes] : source) {
                const TileKey coarse{std::get<0>(k), std::get<1>(k), std::get<2>(k)};
                const bool wanted =
                    std::any_of(finest.begin(), finest.end(), [&](const TileKey& f) { return over(coarse, f); });
                const bool held = std::find(coarser.begin(), coarser.end(), coarse) != coarser.end();
                EXPECT_EQ(held, wanted) << "zoom " << coarse.zoom << " tile " << coarse.x << "," << coarse.y;
                expected += wanted;
            }
            EXPECT_EQ(coarser.size(), expected);
        }
        EXPECT_EQ(finestSeen.size(), 29u);
        for (const auto& [key, count] : finestSeen) EXPECT_EQ(count, 1);
        EXPECT_TRUE(cut.finestPerVolume.empty() || finestPerVolume == cut.finestPerVolume)
            << testing::PrintToString(finestPerVolume);
        EXPECT_GE(names.size(), 3u);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(to.list(), names);
        EXPECT_EQ(names.front(), "map_Part01.jnx");
    }
}

// Volume names are the program's: an earlier set in the way refuses the import, a link there
// is never followed, and with overwrite the set is replaced whole, its extra parts removed.
// An output that is the source, by any name, is refused before anything is read.
TEST_F(ConvertTest, OutputsNeverWriteOverWhatTheUserDidNotName) {
    fixture::WriteMbtiles(dir.file("in.mbtiles"), SampleRows());
    fixture::WriteBytes(out.file("victim"), {2});
    std::filesystem::create_symlink(out.file("victim"), out.file("m_Part01.jnx"));
    fixture::WriteBytes(out.file("m_Part99.jnx"), {1});
    convert::ImportOptions options;
    options.limits.tilesPerLevel = 2;
    convert::ImportResult result;
    platform::Error error;
    const fixture::Snapshot before = fixture::TakeSnapshot(out.path());
    EXPECT_FALSE(convert::ImportTiles(dir.file("in.mbtiles"), out.file("m.jnx"), options, result, error));
    EXPECT_EQ(error.code, platform::ErrorCode::OutputExists);
    EXPECT_EQ(fixture::TakeSnapshot(out.path()), before);
    options.overwrite = true;
    ASSERT_TRUE(convert::ImportTiles(dir.file("in.mbtiles"), out.file("m.jnx"), options, result, error))
        << platform::ErrorText(error);
    EXPECT_EQ(fixture::ReadBytes(out.file("victim")), (fixture::Bytes{2}));
    EXPECT_EQ(out.list().size(), result.files.size() + 1);
    EXPECT_FALSE(platform::NameTaken(out.file("m_Part99.jnx")));

    std::filesystem::create_symlink(dir.file("in.mbtiles"), dir.file("link.mbtiles"));
    std::filesystem::create_hard_link(out.file("m_Part01.jnx"), out.file("hard.jnx"));
    const fixture::Snapshot sources = fixture::TakeSnapshot(dir.path()), maps = fixture::TakeSnapshot(out.path());
    convert::ExportResult exported;
    for (const auto& [what, ok] : std::vector<std::pair<const char*, bool>>{
             {"import over its link", convert::ImportTiles(dir.file("in.mbtiles"), dir.file("link.mbtiles"), {}, result, error)},
             {"MBTiles export over the map", convert::ExportMbtiles(out.file("hard.jnx"), out.file("m_Part01.jnx"), {}, exported, error)},
             {"KMZ export over the map", convert::ExportKmz(out.file("m_Part01.jnx"), out.file("hard.jnx"), {}, exported, error)}}) {
        EXPECT_FALSE(ok) << what;
        EXPECT_EQ(error.code, platform::ErrorCode::OutputIsSource) << what;
    }
    EXPECT_EQ(fixture::TakeSnapshot(dir.path()), sources);
    EXPECT_EQ(fixture::TakeSnapshot(out.path()), maps);
}

// Each bad source is refused with its own code and no file appears, nor is a map already
// under the output name touched.
TEST_F(ConvertTest, BadSourcesWriteNothing) {
    const auto png = [](int seed) {
        auto bytes = MakeJpeg(seed, 256, 256);
        bytes[0] = 0x89, bytes[1] = 'P', bytes[2] = 'N', bytes[3] = 'G';
        return bytes;
    };
    auto webp = MakeJpeg(9, 256, 256);
    std::copy_n("RIFF\0\0\0\0WEBP", 12, webp.begin());
    auto noFrame = MakeJpeg(8, 256, 256);
    noFrame.resize(12);
    std::vector<MbtilesRow> manyVolumes;  // one tile a volume: one volume more than a device holds
    for (int i = 0; i <= jnx::device::kMaxFiles; ++i) manyVolumes.push_back({8, i % 16, i / 16, MakeJpeg(i, 256, 256, 0)});
    struct Case {
        const char* name;
        std::vector<MbtilesRow> rows;
        ErrorCode code;
        std::vector<int> zooms = {};
        std::int32_t tilesPerVolume = jnx::device::kMaxTilesPerLevel;
    };
    const std::vector<Case> cases = {
        {"other formats",
         {{1, 0, 0, png(1)}, {1, 1, 0, png(2)}, {2, 0, 0, webp}, {2, 1, 1, MakeJpeg(3, 256, 256)}},
         ErrorCode::ConvertNotJpeg},
        {"no frame header", {{1, 0, 0, noFrame}}, ErrorCode::ConvertNotJpeg},
        {"NULL blob", {{1, 0, 0, MakeJpeg(1, 256, 256)}, {1, 1, 0, std::nullopt}}, ErrorCode::ConvertEmptyTile},
        {"empty blob", {{2, 3, 1, std::vector<std::uint8_t>{}}}, ErrorCode::ConvertEmptyTile},
        {"off the grid", {{1, 2, 0, MakeJpeg(1, 256, 256)}}, ErrorCode::ConvertBadSource},
        {"no such zoom", {{1, 0, 0, MakeJpeg(1, 256, 256)}}, ErrorCode::ConvertNoSuchZoom, {1, 7}},
        {"no tiles", {}, ErrorCode::ConvertNoTiles},
        {"too many volumes", manyVolumes, ErrorCode::ConvertBeyondDevice, {}, 1},
    };
    const fixture::Bytes before = {'o', 'l', 'd'};
    fixture::WriteBytes(out.file("map.jnx"), before);
    int n = 0;
    for (const Case& c : cases) {
        const std::string source = dir.file("case" + std::to_string(++n) + ".mbtiles");
        fixture::WriteMbtiles(source, c.rows);
        convert::ImportOptions options;
        options.zooms = c.zooms, options.limits.tilesPerLevel = c.tilesPerVolume;
        platform::Error error;
        EXPECT_FALSE(Import(source, options, error)) << c.name;
        EXPECT_EQ(error.code, c.code) << c.name << ": " << platform::ErrorText(error);
    }
    // Files that are no MBTiles at all.
    fixture::WriteBytes(dir.file("broken.mbtiles"), fixture::Bytes(3000, 'x'));
    fixture::WriteMbtiles(dir.file("notiles.mbtiles"), {});
    Sql(dir.file("notiles.mbtiles"), "DROP TABLE tiles");
    for (const char* name : {"broken.mbtiles", "notiles.mbtiles"}) {
        platform::Error error;
        EXPECT_FALSE(Import(dir.file(name), {}, error));
        EXPECT_EQ(error.code, ErrorCode::ConvertBadSource) << platform::ErrorText(error);
    }
    EXPECT_EQ(out.list(), std::vector<std::string>{"map.jnx"});
    EXPECT_EQ(fixture::ReadBytes(out.file("map.jnx")), before);

    // A map whose tiles are not web-map tiles cannot become MBTiles.
    fixture::WriteBytes(dir.file("plain.jnx"), fixture::BuildJnx(fixture::SimpleRecipe(4, 2, 3)).bytes);
    convert::ExportResult exported;
    platform::Error error;
    EXPECT_FALSE(convert::ExportMbtiles(dir.file("plain.jnx"), out.file("x.mbtiles"), {}, exported, error));
    EXPECT_EQ(error.code, ErrorCode::ConvertOffGrid);
    EXPECT_EQ(out.list(), std::vector<std::string>{"map.jnx"});
}

// A progress that answers false stops every run at once, also at its last word before the
// publish, and leaves the output folder empty; one that goes on hears the end last.
TEST_F(ConvertTest, ProgressStopsARunWithoutAFile) {
    std::vector<MbtilesRow> rows;
    for (int i = 0; i < 600; ++i) rows.push_back({10, i % 30, i / 30, MakeJpeg(i, 256, 256, 0)});
    fixture::WriteMbtiles(dir.file("in.mbtiles"), rows);
    platform::Error error;
    convert::ImportResult imported;
    ASSERT_TRUE(convert::ImportTiles(dir.file("in.mbtiles"), dir.file("map.jnx"), {}, imported, error));
    using Run = std::function<bool(const std::string&, const convert::ImportProgress&)>;
    convert::ExportResult exported;
    const std::vector<std::pair<std::string, Run>> runs = {
        {"map.jnx", [&](const std::string& to, const convert::ImportProgress& progress) {
             return convert::ImportTiles(dir.file("in.mbtiles"), to, {}, imported, error, progress);
         }},
        {"map.mbtiles", [&](const std::string& to, const convert::ImportProgress& progress) {
             return convert::ExportMbtiles(dir.file("map.jnx"), to, {}, exported, error, progress);
         }},
        {"map.kmz", [&](const std::string& to, const convert::ImportProgress& progress) {
             return convert::ExportKmz(dir.file("map.jnx"), to, {}, exported, error, progress);
         }},
    };
    for (const auto& [name, run] : runs) {
        SCOPED_TRACE(name);
        int calls = 0;
        using Count = std::pair<std::int64_t, std::int64_t>;
        Count last;
        ASSERT_TRUE(run(out.file(name), [&](const char*, std::int64_t done, std::int64_t total) {
            ++calls;
            last = {done, total};
            return true;
        })) << platform::ErrorText(error);
        EXPECT_EQ(last, Count(600, 600));
        platform::DeleteFile(out.file(name));
        for (const int stopAt : {1, calls}) {
            int call = 0;
            EXPECT_FALSE(run(out.file(name), [&](const char*, std::int64_t, std::int64_t) { return ++call < stopAt; }));
            EXPECT_EQ(error.code, ErrorCode::Cancelled) << platform::ErrorText(error);
            EXPECT_EQ(call, stopAt);
            EXPECT_TRUE(out.list().empty());
        }
    }
}

// The command line's side: exit status, messages, and the refusals it makes alone.
TEST_F(ConvertTest, CommandLine) {
    fixture::WriteMbtiles(dir.file("in.mbtiles"), SampleRows());
    const auto run = [&](const std::vector<std::string>& args) {
        return fixture::RunProgram(TESSALY_CLI_PATH, args, dir.path());
    };
    auto r = run({"import", dir.file("in.mbtiles"), "--out", out.file("m.jnx"), "--zooms", "2,4", "--to-version", "3",
                  "--group", "G", "--title", "T", "--level", "1=2"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "created " + out.file("m.jnx") + " (6 tiles, zooms 2,4)\n");
    const jnx::JnxDocument doc = fixture::ReadFull(out.file("m.jnx"));
    EXPECT_EQ(std::tuple(doc.Header.Version, jnx::DecodeText(doc.MapInfo.MapTitle, true)), std::tuple(3, "T"));
    EXPECT_NE(doc.Levels[0].Scale, convert::ScaleForZoom(2, 0));  // the zoom row's scale

    r = run({"export", out.file("m.jnx"), "--out", out.file("m.mbtiles"), "--levels", "2", "--json"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(fixture::ReadMbtiles(out.file("m.mbtiles")).size(), 3u);
    EXPECT_TRUE(r.out.find("\"format\": \"mbtiles\"") != r.out.npos && r.out.find("\"tiles\": 3") != r.out.npos)
        << r.out;

    fixture::WriteBytes(dir.file("r.tif"), {'I', 'I'});  // a raster by its name: its options are read first
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"import", dir.file("in.mbtiles")},
             {"import", dir.file("in.kmz"), "--out", out.file("k.jnx"), "--zooms", "3"},
             {"import", dir.file("in.mbtiles"), "--out", out.file("k.jnx"), "--zooms", "1,2,3,4,5,6"},
             {"import", dir.file("in.mbtiles"), "--out", out.file("k.jnx"), "--quality", "50"},
             {"import", dir.file("in.mbtiles"), "--out", out.file("k.jnx"), "--tile-size", "2048"},
             {"import", dir.file("in.mbtiles"), "--out", out.file("k.jnx"), "--tile-size", "256", "--reencode", "80"},
             {"import", dir.file("r.tif"), "--out", out.file("k.jnx"), "--reencode", "80"},
             {"import", dir.file("r.tif"), "--out", out.file("k.jnx"), "--levels", "2", "--zooms", "3"},
             {"import", dir.file("r.tif"), "--out", out.file("k.jnx"), "--quality", "0"},
             {"import", dir.file("r.tif"), "--out", out.file("k.jnx"), "--tile-size", "300"},
             {"import", dir.file("r.tif"), "--out", out.file("k.jnx"), "--subsampling", "422"},
             {"import", dir.file("r.tif"), "--out", out.file("k.jnx"), "--resampling", "near,sharp"},
             {"export", out.file("m.jnx"), "--out", out.file("k.zip")},
             {"export", out.file("m.jnx"), "--out", out.file("k.mbtiles"), "--levels", "0"}})
        EXPECT_EQ(run(args).code, 2) << testing::PrintToString(args);
    // A tile source's dry run joins as the import would: zoom 1's three corner tiles become one.
    r = run({"import", dir.file("in.mbtiles"), "--dry-run", "--json", "--tile-size", "512"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.out.find("\"factor\": 2") != std::string::npos && r.out.find("\"tiles\": 1,") != std::string::npos)
        << r.out;
    r = run({"export", out.file("m.jnx"), "--out", out.file("k.mbtiles"), "--levels", "3", "--json"});
    EXPECT_EQ(std::pair(r.code, r.out), std::pair(1, std::string()));
    EXPECT_NE(r.err.find("Level 3 does not exist"), std::string::npos) << r.err;
    EXPECT_EQ(out.list(), (std::vector<std::string>{"m.jnx", "m.mbtiles"}));
}

// Views are code the file brings: each that would run for ever, or for minutes, ends in
// well under the test's bound, refused or imported; a Cancel holds inside a long query.
TEST_F(ConvertTest, HostileViewsEndQuickly) {
    const std::string endless = "WITH RECURSIVE r(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM r) ";
    const std::string rowless = "DROP TABLE tiles; CREATE VIEW tiles AS " + endless +
                                "SELECT 3 AS zoom_level, 0 AS tile_column, 0 AS tile_row, x'' AS tile_data FROM r WHERE n < 0";
    struct Case {
        const char* name;
        std::string sql;
        ErrorCode code;  // None: imported
        bool cancel = false;
    };
    const std::vector<Case> cases = {
        {"endless tiles view", rowless, ErrorCode::ConvertSourceLimit},
        {"cancelled", rowless, ErrorCode::Cancelled, true},
        {"ten million rows", "DROP TABLE tiles; CREATE VIEW tiles AS " + endless +
                                 "SELECT 12 AS zoom_level, n % 4096 AS tile_column, n / 4096 AS tile_row, "
                                 "x'FFD8' AS tile_data FROM r WHERE n < 10000000 LIMIT 10000000",
         ErrorCode::ConvertSourceLimit},
        {"endless metadata view", "DROP TABLE metadata; CREATE VIEW metadata AS " + endless +
                                      "SELECT 'name' AS name, 'x' AS value FROM r",
         ErrorCode::ConvertSourceLimit},
        {"view without index", "DROP INDEX tile_index; ALTER TABLE tiles RENAME TO images; "
                               "CREATE VIEW tiles AS SELECT * FROM images",
         ErrorCode::None},
    };
    std::vector<MbtilesRow> rows;
    for (int i = 0; i < 20000; ++i) rows.push_back({8, i % 256, i / 256, MakeJpeg(i, 256, 256, 0)});
    fixture::WriteMbtiles(dir.file("many.mbtiles"), rows, {{"name", "Many"}});
    for (const Case& c : cases) {
        const std::string source = dir.file(std::string(c.name) + ".mbtiles");
        convert::ImportResult result;
        platform::Error error;
        ASSERT_TRUE(platform::CopyFile(dir.file("many.mbtiles"), source, error));
        Sql(source, c.sql);
        const auto start = std::chrono::steady_clock::now();
        const bool ok = convert::ImportTiles(source, out.file("map.jnx"), {}, result, error,
                                             [&](const char*, std::int64_t, std::int64_t) { return !c.cancel; });
        EXPECT_EQ(ok ? ErrorCode::None : error.code, c.code) << c.name << ": " << platform::ErrorText(error);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << c.name;
        platform::DeleteFile(out.file("map.jnx"));
    }
}

// A source is only ever read: nothing appears beside it, and a WAL-mode file in a folder
// the user may not write is read all the same.
TEST_F(ConvertTest, MbtilesSourcesAreOnlyRead) {
    ASSERT_EQ(::mkdir(dir.file("ro").c_str(), 0755), 0);
    const std::string source = dir.file("ro/it's #1?.mbtiles");
    fixture::WriteMbtiles(source, SampleRows());
    Sql(source, "PRAGMA journal_mode = WAL");
    ::chmod(dir.file("ro").c_str(), 0555);
    platform::Error error;
    EXPECT_TRUE(Import(source, {}, error)) << platform::ErrorText(error);
    std::vector<platform::FolderEntry> entries;
    platform::ListFolder(dir.file("ro"), entries, error);
    ::chmod(dir.file("ro").c_str(), 0755);
    EXPECT_EQ(entries.size(), 1u);

    // Changes still only in the log are not passed over unnoticed.
    sqlite3* writer = nullptr;
    sqlite3_open(source.c_str(), &writer);
    fixture::SqlOrThrow(writer, "INSERT INTO metadata VALUES ('attribution', 'late')");
    EXPECT_FALSE(Import(source, {}, error));
    EXPECT_EQ(error.code, ErrorCode::ConvertBadSource);
    sqlite3_close(writer);
}

// Pipes and other files that are not regular are refused before they are opened, so the
// import never waits on one.
TEST_F(ConvertTest, NonRegularSourcesAreRefused) {
    std::filesystem::create_directories(dir.file("tiles/1/0"));
    for (const char* name : {"pipe.mbtiles", "pipe.kmz", "pipe.kml", "tiles/1/0/0.jpg"}) {
        ASSERT_EQ(::mkfifo(dir.file(name).c_str(), 0644), 0);
        const std::string source = std::string(name).starts_with("tiles") ? dir.file("tiles") : dir.file(name);
        platform::Error error;
        EXPECT_FALSE(Import(source, {}, error)) << name;
        EXPECT_EQ(std::pair(error.code, error.file), std::pair(ErrorCode::NotRegularFile, dir.file(name)));
    }
}

// A number written with leading zeros would be a second zoom, column or row beside the
// plain one; it is refused by its path.
TEST_F(ConvertTest, TileFoldersTakeOnlyPlainNumbers) {
    struct Case {
        std::vector<std::string> tiles;
        std::string refused;
    };
    for (const Case& c : {Case{{"3/1/1.jpg", "03/1/2.jpg"}, "03"}, Case{{"3/05/1.jpg", "3/5/1.jpg"}, "3/05"},
                          Case{{"3/5/1.jpg", "3/5/001.jpg"}, "3/5/001.jpg"}}) {
        fixture::TempDir tiles;
        for (const std::string& name : c.tiles) {
            std::filesystem::create_directories(std::filesystem::path(tiles.file(name)).parent_path());
            fixture::WriteBytes(tiles.file(name), MakeJpeg(1, 256, 256));
        }
        platform::Error error;
        EXPECT_FALSE(Import(tiles.path(), {}, error)) << c.refused;
        EXPECT_EQ(std::pair(error.code, error.file), std::pair(ErrorCode::ConvertBadSource, tiles.file(c.refused)));
    }
}

// Control bytes of a source's texts never reach the map's zero-terminated texts, where a
// zero would shift all that follows; the writer itself refuses a text holding a zero.
TEST_F(ConvertTest, SourceTextsLoseTheirControlBytes) {
    fixture::WriteMbtiles(dir.file("in.mbtiles"), SampleRows(), {{"name", "x"}, {"description", "x"}, {"attribution", "x"}});
    Sql(dir.file("in.mbtiles"), "UPDATE metadata SET value = 'Pe' || char(0) || 'aks' || char(127) WHERE name = 'name';"
                                "UPDATE metadata SET value = 'Summer' || char(10) || 'imagery' || char(27) WHERE name = 'description';"
                                "UPDATE metadata SET value = char(1) || 'OSM' WHERE name = 'attribution'");
    platform::Error error;
    ASSERT_TRUE(Import(dir.file("in.mbtiles"), {}, error)) << platform::ErrorText(error);
    const jnx::JnxDocument doc = fixture::ReadFull(out.file("map.jnx"));
    EXPECT_EQ(std::tuple(jnx::DecodeText(doc.MapInfo.GroupName, true), jnx::DecodeText(doc.MapInfo.MapTitle, true),
                         jnx::DecodeText(doc.LevelInfos[0].Copyright, true)),
              std::tuple("Peaks", "Summer imagery", "OSM"));

    jnx::JnxMapInfo info;
    info.GroupName = {'a', 0, 'b', 0};
    jnx::Bytes block;
    EXPECT_FALSE(jnx::BuildMapBlock(info, {}, block, error));
    EXPECT_EQ(error.code, ErrorCode::TextHoldsZero);
}

// A mobile app's tile store: its tiles table, then what info makes of the rest.
struct StoreRow {
    int x, y, z, s;
    std::vector<std::uint8_t> image;
};

void WriteTileStore(const std::string& path, const std::vector<StoreRow>& rows, const std::string& info) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    fixture::SqlOrThrow(db, "CREATE TABLE tiles (x int, y int, z int, s int, image blob, PRIMARY KEY (x, y, z, s));");
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO tiles VALUES (?, ?, ?, ?, ?)", -1, &insert, nullptr);
    for (const StoreRow& row : rows) {
        for (int i = 0; i < 4; ++i) sqlite3_bind_int(insert, i + 1, (&row.x)[i]);
        sqlite3_bind_blob64(insert, 5, row.image.data(), row.image.size(), SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    fixture::SqlOrThrow(db, info);
    sqlite3_close(db);
}

// The sample in each numbering a store may use gives the map its MBTiles twin gives, tile
// for tile and byte for byte; the stores are known by their tables whatever their names.
TEST_F(ConvertTest, TileStoresImportAsTheirMbtilesTwin) {
    const auto sorted = [](fixture::LevelTiles levels) {
        for (auto& level : levels)
            std::sort(level.begin(), level.end(), [](const auto& a, const auto& b) {
                return std::tie(a.bounds, a.data) < std::tie(b.bounds, b.data);
            });
        return levels;
    };
    fixture::WriteMbtiles(dir.file("twin.mbtiles"), SampleRows());
    platform::Error error;
    ASSERT_TRUE(Import(dir.file("twin.mbtiles"), {}, error)) << platform::ErrorText(error);
    const fixture::LevelTiles expected = sorted(fixture::TilesIn(out.file("map.jnx")));
    struct Variant {
        const char* name;
        const char* info;
        bool bigPlanet, fromSouth;
    };
    for (const Variant& v :
         {Variant{"app.sqlitedb",
                  "CREATE TABLE info (minzoom, maxzoom, tilenumbering); INSERT INTO info VALUES (12, 17, 'BigPlanet')",
                  true, false},
          Variant{"plain.db",
                  "CREATE TABLE info (tilenumbering, inverted_y, ellipsoid); INSERT INTO info VALUES ('', 1, 0)", false,
                  true},
          Variant{"bare.db", "", true, false}}) {
        std::vector<StoreRow> rows;
        for (const MbtilesRow& r : SampleRows())
            rows.push_back({r.column, v.fromSouth ? r.row : int(convert::FlipRow(r.zoom, std::uint32_t(r.row))),
                            v.bigPlanet ? 17 - r.zoom : r.zoom, 0, *r.data});
        WriteTileStore(dir.file(v.name), rows, v.info);
        ASSERT_TRUE(Import(dir.file(v.name), {}, error)) << v.name << ": " << platform::ErrorText(error);
        EXPECT_EQ(sorted(fixture::TilesIn(out.file("map.jnx"))), expected) << v.name;
    }
}

TEST_F(ConvertTest, TileStoresRefuseWhatTheyCannotTell) {
    const auto jpeg = MakeJpeg(1, 256, 256);
    auto png = jpeg;
    png[0] = 0x89, png[1] = 'P', png[2] = 'N', png[3] = 'G';
    const std::vector<StoreRow> one = {{0, 0, 16, 0, jpeg}};
    struct Case {
        const char* info;
        std::vector<StoreRow> rows;
        ErrorCode code;
    };
    const std::vector<Case> cases = {
        {"CREATE TABLE info (ellipsoid); INSERT INTO info VALUES (1)", one, ErrorCode::ConvertBadSource},
        {"CREATE TABLE info (tilenumbering); INSERT INTO info VALUES ('quadkey')", one, ErrorCode::ConvertBadSource},
        {"CREATE TABLE info (inverted_y); INSERT INTO info VALUES ('yes')", one, ErrorCode::ConvertBadSource},
        {"", {{0, 0, 16, 0, jpeg}, {0, 0, 16, 1, jpeg}}, ErrorCode::ConvertBadSource},  // two layers
        {"CREATE TABLE info (tilenumbering); INSERT INTO info VALUES ('')",
         {{2, 0, 1, 0, jpeg}},
         ErrorCode::ConvertBadSource},                              // off the grid
        {"", {{0, 0, -10, 0, jpeg}}, ErrorCode::ConvertBadSource},  // zoom 27
        {"", {{0, 0, 16, 0, png}, {1, 0, 16, 0, jpeg}}, ErrorCode::ConvertNotJpeg},
        {"DROP TABLE tiles; CREATE TABLE tiles (x, y, z)", {}, ErrorCode::ConvertBadSource},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string source = dir.file("case" + std::to_string(++n) + ".sqlitedb");
        WriteTileStore(source, c.rows, c.info);
        platform::Error error;
        EXPECT_FALSE(Import(source, {}, error)) << c.info;
        EXPECT_EQ(std::pair(error.code, error.file), std::pair(c.code, source)) << platform::ErrorText(error);
    }
    EXPECT_EQ(out.list(), std::vector<std::string>{});
}

}  // namespace
