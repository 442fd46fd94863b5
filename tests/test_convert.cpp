// Import of web-map tiles and export to MBTiles, on sources built in code: the round trip
// keeps every tile byte for byte, and every refusal leaves the output folder as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "convert/export_mbtiles.h"
#include "convert/import_jnx.h"
#include "convert/web_tiles.h"
#include "jnx/codec.h"
#include "jnx/product_id_copy.h"
#include "support/edit_support.h"
#include "support/jnx_builder.h"
#include "support/run_program.h"
#include "support/web_tiles_builder.h"

namespace {

using convert::TileKey;
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

class ConvertTest : public ::testing::Test {
protected:
    fixture::TempDir dir, out;

    static jnx::Bytes Stored(const jnx::JnxDocument& doc, std::size_t i) {
        const fixture::Bytes bytes = fixture::ReadBytes(doc.FileName);
        const auto from = bytes.begin() + std::ptrdiff_t(doc.jpgOffset[i]);
        return jnx::Bytes(from, from + doc.Tiles[i].DataSize);
    }
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
    EXPECT_EQ(jnx::DecodeText(doc.MapInfo.GroupName, true), "Peaks");
    EXPECT_EQ(jnx::DecodeText(doc.MapInfo.MapTitle, true), "Summer imagery");
    EXPECT_EQ(doc.MapInfo.ReservedBytes, *jnx::ProductIdCopy(3));
    const double centre = (convert::Degrees(doc.Header.Bounds[0]) + convert::Degrees(doc.Header.Bounds[2])) / 2;
    std::array<std::int32_t, 4> bounds{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    std::size_t tile = 0;
    for (std::size_t k = 0; k < doc.Levels.size(); ++k) {
        const int zoom = int(k) + 1;  // coarsest first, zoom 0 left out
        EXPECT_EQ(doc.LevelInfos[k].Zoom, zoom);
        EXPECT_EQ(doc.Levels[k].Scale, std::lround(34115555.0 / (1 << zoom) * std::cos(centre * M_PI / 180) / 1.1));
        for (int n = 0; n < doc.Levels[k].TileCount; ++n, ++tile) {
            const auto& t = doc.Tiles[tile];
            const auto key = convert::WebTileAt(t.TileBounds);
            ASSERT_TRUE(key && key->zoom == zoom);
            EXPECT_EQ(t.TileBounds, convert::BoundsOf(*key));
            const auto source = std::find_if(rows.begin(), rows.end(), [&](const MbtilesRow& r) {
                return r.zoom == zoom && r.column == int(key->x) && r.row == int(convert::FlipRow(zoom, key->y));
            });
            ASSERT_NE(source, rows.end());
            EXPECT_EQ(Stored(doc, tile), jnx::Bytes(source->data->begin() + 2, source->data->end()));
            const int width = t.TileAux[0] | t.TileAux[1] << 8, height = t.TileAux[2] | t.TileAux[3] << 8;
            EXPECT_EQ(width + height, 510);  // as the seed gave them
            for (std::size_t i = 0; i < 4; ++i)
                bounds[i] = i < 2 ? std::max(bounds[i], t.TileBounds[i]) : std::min(bounds[i], t.TileBounds[i]);
        }
    }
    EXPECT_EQ(doc.Header.Bounds, bounds);
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
    EXPECT_EQ(jnx::DecodeText(again.MapInfo.GroupName, true), "Peaks");
    EXPECT_EQ(jnx::DecodeText(again.MapInfo.MapTitle, true), "Summer imagery");
    EXPECT_EQ(again.Levels.size(), 2u);
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
    {
        sqlite3* db = nullptr;
        sqlite3_open(dir.file("same.mbtiles").c_str(), &db);
        fixture::SqlOrThrow(db, "ALTER TABLE tiles RENAME TO images; CREATE VIEW tiles AS SELECT * FROM images");
        sqlite3_close(db);
    }
    platform::Error error;
    convert::ImportResult result;
    ASSERT_TRUE(convert::ImportTiles(dir.file("tiles"), out.file("folder.jnx"), {}, result, error))
        << platform::ErrorText(error);
    ASSERT_TRUE(convert::ImportTiles(dir.file("same.mbtiles"), out.file("db.jnx"), {}, result, error));
    const jnx::JnxDocument folder = fixture::ReadFull(out.file("folder.jnx"));
    const jnx::JnxDocument db = fixture::ReadFull(out.file("db.jnx"));
    EXPECT_EQ(jnx::DecodeText(folder.MapInfo.GroupName, true), "tiles");
    EXPECT_EQ(folder.Header.Bounds, db.Header.Bounds);
    ASSERT_EQ(folder.Tiles.size(), rows.size());
    std::vector<std::pair<std::array<std::int32_t, 4>, jnx::Bytes>> a, b;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        a.emplace_back(folder.Tiles[i].TileBounds, Stored(folder, i));
        b.emplace_back(db.Tiles[i].TileBounds, Stored(db, i));
    }
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b);
}

// Each bad source is refused with its own message and no file appears, nor is a map
// already under the output name touched.
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
    std::vector<MbtilesRow> overLimit;  // one tile more than a level may hold
    for (int i = 0; i <= 50000; ++i) overLimit.push_back({8, i % 256, i / 256, MakeJpeg(i, 256, 256, 0)});
    struct Case {
        const char* name;
        std::vector<MbtilesRow> rows;
        ErrorCode code;
        std::string said;
        std::vector<int> zooms = {};
    };
    const std::vector<Case> cases = {
        {"other formats", {{1, 0, 0, png(1)}, {1, 1, 0, png(2)}, {2, 0, 0, webp}, {2, 1, 1, MakeJpeg(3, 256, 256)}},
         ErrorCode::ConvertNotJpeg, "3 tiles are not JPEG (2 PNG, 1 WebP)"},
        {"no frame header", {{1, 0, 0, noFrame}}, ErrorCode::ConvertNotJpeg, "1 JPEG without a readable frame header"},
        {"NULL blob", {{1, 0, 0, MakeJpeg(1, 256, 256)}, {1, 1, 0, std::nullopt}}, ErrorCode::ConvertEmptyTile,
         "at zoom 1, column 1, row 0"},
        {"empty blob", {{2, 3, 1, std::vector<std::uint8_t>{}}}, ErrorCode::ConvertEmptyTile, "row 1"},
        {"off the grid", {{1, 2, 0, MakeJpeg(1, 256, 256)}}, ErrorCode::ConvertBadSource, "outside the zoom's grid"},
        {"no such zoom", {{1, 0, 0, MakeJpeg(1, 256, 256)}}, ErrorCode::ConvertNoSuchZoom, "zoom 7", {1, 7}},
        {"no tiles", {}, ErrorCode::ConvertNoTiles, "no web-map tiles"},
        {"over the device limit", overLimit, ErrorCode::ConvertBeyondDevice, "zoom 8 has 50001 tiles"},
    };
    const fixture::Bytes before = {'o', 'l', 'd'};
    fixture::WriteBytes(out.file("map.jnx"), before);
    int n = 0;
    for (const Case& c : cases) {
        const std::string source = dir.file("case" + std::to_string(++n) + ".mbtiles");
        fixture::WriteMbtiles(source, c.rows);
        convert::ImportOptions options;
        options.zooms = c.zooms;
        platform::Error error;
        EXPECT_FALSE(Import(source, options, error)) << c.name;
        EXPECT_EQ(error.code, c.code) << c.name << ": " << platform::ErrorText(error);
        EXPECT_NE(platform::ErrorText(error).find(c.said), std::string::npos) << platform::ErrorText(error);
    }
    // Files that are no MBTiles at all.
    fixture::WriteBytes(dir.file("broken.mbtiles"), fixture::Bytes(3000, 'x'));
    fixture::WriteMbtiles(dir.file("notiles.mbtiles"), {});
    {
        sqlite3* db = nullptr;
        sqlite3_open(dir.file("notiles.mbtiles").c_str(), &db);
        fixture::SqlOrThrow(db, "DROP TABLE tiles");
        sqlite3_close(db);
    }
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
    EXPECT_NE(platform::ErrorText(error).find("KMZ keeps"), std::string::npos);
    EXPECT_EQ(out.list(), std::vector<std::string>{"map.jnx"});
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
    EXPECT_EQ(doc.Header.Version, 3);
    EXPECT_EQ(jnx::DecodeText(doc.MapInfo.MapTitle, true), "T");
    EXPECT_NE(doc.Levels[0].Scale, convert::ScaleForZoom(2, 0));  // the zoom row's scale

    r = run({"export", out.file("m.jnx"), "--out", out.file("m.mbtiles"), "--levels", "2"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(fixture::ReadMbtiles(out.file("m.mbtiles")).size(), 3u);

    for (const auto& args : std::vector<std::vector<std::string>>{
             {"import", dir.file("in.mbtiles")},
             {"import", dir.file("in.kmz"), "--out", out.file("k.jnx")},
             {"import", dir.file("in.mbtiles"), "--out", out.file("k.jnx"), "--zooms", "1,2,3,4,5,6"},
             {"export", out.file("m.jnx"), "--out", out.file("k.kmz")},
             {"export", out.file("m.jnx"), "--out", out.file("k.mbtiles"), "--levels", "0"}}) {
        r = run(args);
        EXPECT_EQ(r.code, 2) << testing::PrintToString(args) << r.err;
    }
    r = run({"export", out.file("m.jnx"), "--out", out.file("k.mbtiles"), "--levels", "3"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Level 3 does not exist"), std::string::npos) << r.err;
    EXPECT_EQ(out.list(), (std::vector<std::string>{"m.jnx", "m.mbtiles"}));
}

}  // namespace
