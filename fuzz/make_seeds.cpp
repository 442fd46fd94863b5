// Writes the seed corpora of the fuzz targets, made with the project's own fixture builder.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <tuple>

#include "support/jnx_builder.h"
#include "support/real_jpeg.h"
#include "support/web_tiles_builder.h"

namespace {

// Small MBTiles written through SQLite, in pages of 512 bytes so that the fuzzer's
// changes fall on the structures rather than on empty space.
void PutMbtiles(const std::filesystem::path& path, const std::string& sql) {
    std::vector<fixture::MbtilesRow> rows{{0, 0, 0, fixture::MakeJpeg(1, 256, 256, 8)},
                                          {1, 1, 0, fixture::MakeJpeg(2, 256, 256, 8)},
                                          {1, 0, 1, std::nullopt}};
    fixture::WriteMbtiles(path.string(), rows, {{"name", "Seed"}, {"description", "Two zooms"}});
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    fixture::SqlOrThrow(db, sql + "PRAGMA page_size = 512; VACUUM;");
    sqlite3_close(db);
}

// A mobile app's tile store in the common numbering (zoom 17 - z), with its info table.
void PutTileStore(const std::filesystem::path& path, const std::string& info) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    fixture::SqlOrThrow(db,
                        "CREATE TABLE tiles (x int, y int, z int, s int, image blob, PRIMARY KEY (x, y, z, s));"
                        "CREATE TABLE info (minzoom, maxzoom, tilenumbering, inverted_y, ellipsoid);" +
                            info);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO tiles VALUES (?, ?, ?, 0, ?)", -1, &insert, nullptr);
    for (const auto& [x, y, z] : {std::tuple{0, 0, 17}, std::tuple{1, 0, 16}, std::tuple{0, 1, 16}}) {
        const auto jpeg = fixture::MakeJpeg(x + 2 * y, 256, 256, 8);
        sqlite3_bind_int(insert, 1, x);
        sqlite3_bind_int(insert, 2, y);
        sqlite3_bind_int(insert, 3, z);
        sqlite3_bind_blob(insert, 4, jpeg.data(), int(jpeg.size()), SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    fixture::SqlOrThrow(db, "PRAGMA page_size = 512; VACUUM;");
    sqlite3_close(db);
}

// The documents of a super-overlay, cut apart by zero bytes as the links target reads them.
std::string SuperOverlay() {
    const auto overlay = [](const char* href, const char* box) {
        return std::string("<GroundOverlay><Icon><href>") + href + "</href></Icon><LatLonBox>" + box +
               "</LatLonBox></GroundOverlay>";
    };
    const auto link = [](const char* href) {
        return std::string("<NetworkLink><Link><href>") + href + "</href></Link></NetworkLink>";
    };
    const auto kml = [](const std::string& body) { return "<kml><Document>" + body + "</Document></kml>"; };
    const char* top = "<north>2</north><south>0</south><east>2</east><west>0</west>";
    std::string all = kml(link("0/0/0.kml")) + '\0';
    all +=
        kml(overlay("0.jpg", top) + link("../../1/0/0.kml") + link("../../1/0/1.kml") + link("../../1/1/0.kml")) + '\0';
    all += kml(overlay("0.jpg", "<north>1</north><south>0</south><east>1</east><west>0</west>")) + '\0';
    all += kml(overlay("1.jpg", "<north>2</north><south>1</south><east>1</east><west>0</west>")) + '\0';
    all += kml(overlay("0.jpg", "<north>1</north><south>0</south><east>2</east><west>1</west>"));
    return all;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_seeds DIR\n";
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir / "jnx");
    std::filesystem::create_directories(dir / "settings");
    std::filesystem::create_directories(dir / "codec");
    std::filesystem::create_directories(dir / "mbtiles");
    std::filesystem::create_directories(dir / "join");
    PutMbtiles(dir / "mbtiles" / "table.mbtiles", "");
    PutMbtiles(dir / "mbtiles" / "view.mbtiles",
               "DROP INDEX tile_index; ALTER TABLE tiles RENAME TO images; CREATE VIEW tiles AS SELECT * FROM images;");
    std::filesystem::create_directories(dir / "tile_store");
    PutTileStore(dir / "tile_store" / "bigplanet.sqlitedb", "INSERT INTO info VALUES (16, 17, 'BigPlanet', 0, 0);");
    PutTileStore(dir / "tile_store" / "inverted.sqlitedb", "INSERT INTO info VALUES (0, 1, '', 1, 0);");
    std::filesystem::create_directories(dir / "kmz_links");
    std::ofstream(dir / "kmz_links" / "super.bin", std::ios::binary) << SuperOverlay();
    // Two tiles as a map stores them, cut apart in the middle by the first byte.
    for (bool progressive : {false, true}) {
        const auto tile = fixture::RealJpeg(32, 16, progressive);
        std::ofstream(dir / "join" / (progressive ? "progressive" : "baseline"), std::ios::binary)
            << char(128) << std::string(tile.begin(), tile.end()) << std::string(tile.begin(), tile.end());
    }
    int n = 0;
    auto put = [&](const fixture::JnxRecipe& recipe) {
        fixture::WriteBytes((dir / "jnx" / ("seed" + std::to_string(++n) + ".jnx")).string(),
                            fixture::BuildJnx(recipe).bytes);
    };
    for (int version : {3, 4}) {
        put(fixture::SimpleRecipe(version, 1, 1));
        put(fixture::SimpleRecipe(version, 3, 2));
        auto noBlock = fixture::SimpleRecipe(version, 2, 2);
        noBlock.withMapBlock = false;
        noBlock.gap = 16;
        put(noBlock);
        auto odd = fixture::SimpleRecipe(version, 2, 3);
        odd.gap = 7;
        odd.signature = {1, 2, 3, 4, 5};
        odd.reverseDataOrder = true;
        put(odd);
    }
    std::ofstream(dir / "settings" / "seed1.ini")
        << "[Preferences]\nLang=ENG\nUserLevel=2\n[System]\nBlockSize=1000\n"
           "[ZoomLevels]\nLevel1=1/8/5 m\nLevel2=11/13/8 m\n[Groups]\nGroup1=3/Some/Group\nGroupZooms1=1,2,0,-1,-2\n";
    std::ofstream(dir / "codec" / "seed1") << "A\xc3\xb1o" << '\0';
    std::ofstream(dir / "codec" / "seed2") << "BirdsEye\xe9\x80" << '\0';
    return 0;
}
