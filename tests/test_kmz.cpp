// KMZ export and import on maps and archives built in code: a map off the web-map grid
// comes back with the same tiles, bounds and scales, overlays from elsewhere (also those
// of a super-overlay's linked documents) are sorted into levels by resolution and cut into
// volumes when too many for one file, and every refusal leaves the output folder as it was.
#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <algorithm>
#include <map>
#include <tuple>

#include "check/jpeg_header.h"
#include "convert/export_custom_maps.h"
#include "convert/export_kmz.h"
#include "convert/kml_reader.h"
#include "convert/import_jnx.h"
#include "convert/web_tiles.h"
#include "jnx/codec.h"
#include "platform/fs.h"
#include "platform/temporary_files.h"
#include "support/jpeg_pictures.h"
#include "support/real_jpeg.h"
#include "support/run_program.h"
#include "support/writer_support.h"

namespace {

using fixture::Bytes;
using fixture::WithSoi;
using platform::ErrorCode;

// Members in the order given; deflated, as other writers store them, or stored.
void WriteKmz(const std::string& path, const std::vector<std::pair<std::string, Bytes>>& members, bool stored = false) {
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    ASSERT_NE(archive, nullptr);
    for (const auto& [name, bytes] : members) {
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        const zip_int64_t index = zip_file_add(archive, name.c_str(), source, 0);
        ASSERT_GE(index, 0);
        if (stored) zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_STORE, 0);
    }
    ASSERT_EQ(zip_close(archive), 0);
}

Bytes Member(const std::string& path, const std::string& name) {
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (!archive) return {};
    zip_stat_t stat;
    Bytes bytes;
    if (zip_stat(archive, name.c_str(), 0, &stat) == 0) {
        bytes.resize(stat.size);
        zip_file_t* file = zip_fopen(archive, name.c_str(), 0);
        bytes.resize(std::size_t(std::max<zip_int64_t>(0, zip_fread(file, bytes.data(), bytes.size()))));
        zip_fclose(file);
    }
    zip_discard(archive);
    return bytes;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::string Overlay(const std::string& href, double north, double south, double east, double west,
                    const std::string& extra = "") {
    return "<GroundOverlay><Icon><href>" + href + "</href></Icon><LatLonBox><north>" + std::to_string(north) +
           "</north><south>" + std::to_string(south) + "</south><east>" + std::to_string(east) + "</east><west>" +
           std::to_string(west) + "</west>" + extra + "</LatLonBox></GroundOverlay>";
}

std::string Kml(const std::string& body) {
    return "<?xml version=\"1.0\"?><kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document><name>Valley</name>" + body +
           "</Document></kml>";
}

class KmzTest : public ::testing::Test {
protected:
    fixture::TempDir dir, out;

    bool Import(const std::string& source, platform::Error& error) {
        convert::ImportResult result;
        return convert::ImportTiles(source, out.file("map.jnx"), {}, result, error);
    }
};

// Two levels off the web-map grid, in the southern and western hemispheres, with scales
// no formula would give: only what the archive keeps can bring them back.
fixture::JnxRecipe OffGridMap() {
    fixture::JnxRecipe recipe;
    const std::int32_t north = convert::JnxUnits(-33.1234567), west = convert::JnxUnits(-70.7654321);
    const std::int32_t step = 123457;
    recipe.bounds = {north, west + 2 * step, north - 2 * step, west};
    // Control bytes XML cannot hold, and a tab, which the import reads as a space.
    recipe.groupName = "An\x01" "des\x7F";
    recipe.mapTitle = "Santiago\teast <&> \"1\"";  // and markup, kept as text
    fixture::LevelRecipe coarse, fine;
    coarse.scale = 3001, fine.scale = 1499;
    coarse.zoom = 11, fine.zoom = 12;
    coarse.copyright = fine.copyright = "Survey\x1B 2026";
    coarse.tiles.push_back({fixture::RealJpeg(40, 40, false), recipe.bounds, {40, 0, 40, 0}});
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 2; ++column)
            fine.tiles.push_back({fixture::RealJpeg(40 + row, 40 + column, column == 1),
                                  {north - row * step, west + (column + 1) * step, north - (row + 1) * step,
                                   west + column * step},
                                  {std::uint8_t(40 + row), 0, std::uint8_t(40 + column), 0}});
    recipe.levels = {coarse, fine};
    return recipe;
}

TEST_F(KmzTest, JnxToKmzToJnxKeepsTilesBoundsAndScales) {
    const fixture::JnxRecipe recipe = OffGridMap();
    fixture::WriteBytes(dir.file("in.jnx"), fixture::BuildJnx(recipe).bytes);
    const jnx::JnxDocument in = fixture::ReadFull(dir.file("in.jnx"));

    convert::ExportResult exported;
    platform::Error error;
    ASSERT_TRUE(convert::ExportKmz(dir.file("in.jnx"), out.file("map.kmz"), {}, exported, error))
        << platform::ErrorText(error);
    EXPECT_EQ(exported.tiles, 5);
    EXPECT_EQ(Member(out.file("map.kmz"), "files/L2/3.jpg"), WithSoi(recipe.levels[1].tiles[2].data));
    const Bytes kml = Member(out.file("map.kmz"), "doc.kml");
    EXPECT_NE(std::string(kml.begin(), kml.end()).find("<Lod><minLodPixels>40</minLodPixels><maxLodPixels>-1"),
              std::string::npos);

    ASSERT_TRUE(Import(out.file("map.kmz"), error)) << platform::ErrorText(error);
    const jnx::JnxDocument back = fixture::ReadFull(out.file("map.jnx"));
    EXPECT_EQ(back.Header.Bounds, in.Header.Bounds);
    ASSERT_EQ(back.Levels.size(), 2u);
    EXPECT_EQ(fixture::TilesIn(out.file("map.jnx")), fixture::TilesIn(dir.file("in.jnx")));
    ASSERT_EQ(back.Tiles.size(), in.Tiles.size());
    for (std::size_t i = 0; i < in.Tiles.size(); ++i) EXPECT_EQ(back.Tiles[i].TileAux, in.Tiles[i].TileAux) << i;
    for (std::size_t k = 0; k < 2; ++k)
        EXPECT_EQ(std::tuple(back.Levels[k].Scale, back.LevelInfos[k].Zoom,
                             jnx::DecodeText(back.LevelInfos[k].Copyright, true)),
                  std::tuple(in.Levels[k].Scale, in.LevelInfos[k].Zoom, "Survey 2026"));
    EXPECT_EQ(std::tuple(jnx::DecodeText(back.MapInfo.GroupName, true), jnx::DecodeText(back.MapInfo.MapTitle, true)),
              std::tuple("Andes", "Santiago east <&> \"1\""));

    // One level alone keeps its own scale, not the first level's.
    ASSERT_TRUE(convert::ExportKmz(dir.file("in.jnx"), out.file("fine.kmz"), {2}, exported, error));
    convert::ImportResult result;
    ASSERT_TRUE(convert::ImportTiles(out.file("fine.kmz"), out.file("fine.jnx"), {}, result, error));
    const jnx::JnxDocument fine = fixture::ReadFull(out.file("fine.jnx"));
    ASSERT_EQ(std::pair(fine.Levels.size(), fine.Tiles.size()), std::pair(std::size_t(1), std::size_t(4)));
    EXPECT_EQ(fine.Levels[0].Scale, 1499);
}

// Overlays written elsewhere: no levels named, namespace prefixes, a level's overlays
// spread over folders, and resolutions within one percent taken as one. The same overlays
// as a KML file with its images beside it give the same map.
TEST_F(KmzTest, OverlaysFromElsewhereAreLevelledByResolution) {
    const Bytes coarse = WithSoi(fixture::RealJpeg(32, 32, false));
    const Bytes fineA = WithSoi(fixture::RealJpeg(64, 64, false)), fineB = WithSoi(fixture::RealJpeg(64, 64, true));
    // 1/16 and 1/64 degrees a pixel; fineB 0.5 % coarser than fineA, and its level's own.
    const std::string body = "<Folder>" + Overlay("img/b.jpg", 47.0, 46.0, 9.005 + 0.0, 8.0) + "</Folder><Folder>" +
                             Overlay("img/a.jpg", 47.0, 46.0, 8.0, 7.0) + "</Folder>" +
                             Overlay("img/c.jpg", 47.0, 45.0, 9.0, 7.0);
    const std::string kml = Kml(body);
    const std::vector<std::pair<std::string, Bytes>> images = {{"img/a.jpg", fineA}, {"img/b.jpg", fineB},
                                                               {"img/c.jpg", coarse}};
    auto members = images;
    members.insert(members.begin(), {"valley.kml", Text(kml)});
    WriteKmz(dir.file("valley.kmz"), members);
    std::filesystem::create_directory(dir.file("img"));
    fixture::WriteBytes(dir.file("valley.kml"), Text(kml));
    for (const auto& [name, bytes] : images) fixture::WriteBytes(dir.file(name), bytes);

    for (const char* source : {"valley.kmz", "valley.kml"}) {
        platform::Error error;
        ASSERT_TRUE(Import(dir.file(source), error)) << source << ": " << platform::ErrorText(error);
        const jnx::JnxDocument map = fixture::ReadFull(out.file("map.jnx"));
        ASSERT_EQ(map.Levels.size(), 2u) << source;
        // 1/16 degree a pixel: 256-pixel tiles of 16 degrees, zoom 4.
        EXPECT_EQ(std::tuple(map.Levels[0].TileCount, map.Levels[1].TileCount, map.LevelInfos[0].Zoom),
                  std::tuple(1, 2, 4));
        EXPECT_EQ(
            std::pair(map.Levels[0].Scale, map.Levels[1].Scale),
            std::pair(convert::ScaleForResolution(2.0 / 32, 46.0), convert::ScaleForResolution(1.005 / 64, 46.0)));
        EXPECT_EQ(map.Header.Bounds, (convert::JnxBounds{convert::JnxUnits(47), convert::JnxUnits(9.005),
                                                         convert::JnxUnits(45), convert::JnxUnits(7)}));
        EXPECT_EQ(std::tuple(fixture::StoredImage(map, 2), jnx::DecodeText(map.MapInfo.GroupName, true)),
                  std::tuple(Bytes(fineA.begin() + 2, fineA.end()), "Valley"))
            << source;
    }
}

// Overlays from elsewhere, too many for one file at four tiles a level: rows are the
// finest overlays whose north edges nearly agree, the row too long for a volume is cut
// into runs, and a coarse overlay goes with every volume it overlaps, and with none it
// only touches.
TEST_F(KmzTest, OverlaysOffTheGridAreCutIntoVolumes) {
    struct Placed {
        double north, south, east, west;
    };
    // Given out of order; 46.003 and 45.897 still belong to their rows.
    const std::vector<Placed> fine = {
        {45.9, 45.8, 7.4, 7.3},     {46.0, 45.9, 7.1, 7.0}, {45.9, 45.8, 7.1, 7.0}, {46.003, 45.903, 7.2, 7.1},
        {45.7, 45.6, 7.1, 7.0},     {45.9, 45.8, 7.5, 7.4}, {45.9, 45.8, 7.2, 7.1}, {45.8, 45.7, 7.1, 7.0},
        {46.0, 45.9, 7.3, 7.2},     {45.897, 45.797, 7.3, 7.2}};
    const std::vector<Placed> coarse = {{46.0, 45.85, 7.4, 7.0}, {46.0, 45.85, 7.8, 7.4}, {44.0, 43.85, 10.4, 10.0}};
    std::string body;
    std::vector<std::pair<std::string, Bytes>> members{{"doc.kml", {}}};
    std::map<Bytes, std::pair<int, convert::JnxBounds>> known;  // stored bytes: id (coarse from 100), bounds
    const auto add = [&](const Placed& p, int id, int height) {
        const std::string name = "t" + std::to_string(id) + ".jpg";
        body += Overlay(name, p.north, p.south, p.east, p.west);
        const Bytes stored = fixture::RealJpeg(16, height, false);
        members.emplace_back(name, WithSoi(stored));
        known[stored] = {id, {convert::JnxUnits(p.north), convert::JnxUnits(p.east), convert::JnxUnits(p.south),
                              convert::JnxUnits(p.west)}};
    };
    for (std::size_t i = 0; i < fine.size(); ++i) add(fine[i], int(i), 8 + int(i));
    for (std::size_t i = 0; i < coarse.size(); ++i) add(coarse[i], 100 + int(i), 30 + int(i));
    members[0].second = Text(Kml(body));
    WriteKmz(dir.file("wide.kmz"), members);

    convert::ImportOptions options;
    options.limits.tilesPerLevel = 4;
    convert::ImportResult result;
    platform::Error error;
    ASSERT_TRUE(convert::ImportTiles(dir.file("wide.kmz"), out.file("map.jnx"), options, result, error))
        << platform::ErrorText(error);
    EXPECT_EQ(std::tuple(result.volumes, result.leftOut), std::tuple(true, 1));

    using Levels = std::vector<std::vector<int>>;  // per level, coarsest first, the tiles' ids ascending
    const std::vector<Levels> expected = {{{100}, {1, 3, 8}}, {{100}, {0, 2, 6, 9}}, {{101}, {5}}, {{4, 7}}};
    std::vector<std::string> names;
    std::vector<Levels> parts;
    for (const convert::WrittenFile& file : result.files) {
        names.push_back(platform::FileNameOf(file.path));
        Levels& levels = parts.emplace_back();
        fixture::JnxBoundsUnion bounds;
        for (const auto& tiles : fixture::TilesIn(file.path)) {
            std::vector<int>& ids = levels.emplace_back();
            for (const auto& tile : tiles) {
                const auto found = known.find(tile.data);
                ASSERT_NE(found, known.end()) << file.path;
                EXPECT_EQ(tile.bounds, found->second.second) << found->second.first;
                ids.push_back(found->second.first);
                bounds.Add(tile.bounds);
            }
            std::sort(ids.begin(), ids.end());
        }
        EXPECT_EQ(fixture::ReadFull(file.path).Header.Bounds, bounds.value) << file.path;
    }
    EXPECT_EQ(parts, expected);
    EXPECT_EQ(names,
              (std::vector<std::string>{"map_Part01.jnx", "map_Part02.jnx", "map_Part03.jnx", "map_Part04.jnx"}));
    EXPECT_EQ(out.list(), names);
}

TEST_F(KmzTest, BadArchivesWriteNothing) {
    const Bytes jpeg = WithSoi(fixture::RealJpeg(16, 16, false));
    Bytes png = jpeg;
    png[0] = 0x89, png[1] = 'P', png[2] = 'N', png[3] = 'G';
    const std::string box = Overlay("a.jpg", 1, 0, 1, 0);
    struct Case {
        const char* name;
        std::string kml;
        std::vector<std::pair<std::string, Bytes>> images;
        ErrorCode code;
    };
    const std::string unitWide =
        "<GroundOverlay><Icon><href>a.jpg</href></Icon><LatLonBox><north>1</north>"
        "<south>0</south><east>0.000000001</east><west>0</west></LatLonBox></GroundOverlay>";
    const std::string quad =
        "<GroundOverlay><Icon><href>a.jpg</href></Icon><gx:LatLonQuad xmlns:gx=\"x\"/></GroundOverlay>";
    // clang-format off
    const std::vector<Case> cases = {
        {"rotated", Kml(Overlay("a.jpg", 1, 0, 1, 0, "<rotation>12</rotation>")), {{"a.jpg", jpeg}},
         ErrorCode::ConvertBadSource},
        {"corners", Kml(quad), {{"a.jpg", jpeg}}, ErrorCode::ConvertBadSource},
        {"web image", Kml(Overlay("http://example.org/a.jpg", 1, 0, 1, 0)), {}, ErrorCode::ConvertBadSource},
        {"up and out", Kml(Overlay("../a.jpg", 1, 0, 1, 0)), {}, ErrorCode::ConvertBadSource},
        {"missing image", Kml(box), {{"b.jpg", jpeg}}, ErrorCode::ConvertBadSource},
        {"PNG", Kml(box + Overlay("b.jpg", 2, 1, 1, 0)), {{"a.jpg", png}, {"b.jpg", jpeg}}, ErrorCode::ConvertNotJpeg},
        {"inflates too far", Kml(box), {{"a.jpg", Bytes((std::size_t(64) << 20) + 1, 0)}}, ErrorCode::ConvertBadSource},
        {"no box", Kml("<GroundOverlay><Icon><href>a.jpg</href></Icon></GroundOverlay>"), {{"a.jpg", jpeg}},
         ErrorCode::ConvertBadSource},
        {"not XML", "<kml><Document>", {}, ErrorCode::ConvertBadSource},
        {"narrower than a unit", Kml(unitWide), {{"a.jpg", jpeg}}, ErrorCode::ConvertBadSource},
        {"too many elements", Kml([] {
             std::string empty;
             for (int i = 0; i < 2500001; ++i) empty += "<F/>";
             return empty;
         }()), {}, ErrorCode::ConvertSourceLimit},
        {"long comment", Kml("<!--" + std::string(std::size_t(2) << 20, 'x') + "-->"), {},
         ErrorCode::ConvertSourceLimit},
        {"no overlays", Kml(""), {}, ErrorCode::ConvertNoTiles},
    };
    // clang-format on
    const Bytes before = {'o', 'l', 'd'};
    fixture::WriteBytes(out.file("map.jnx"), before);
    int n = 0;
    for (const Case& c : cases) {
        const std::string source = dir.file("case" + std::to_string(++n) + ".kmz");
        auto members = c.images;
        members.insert(members.begin(), {"doc.kml", Text(c.kml)});
        WriteKmz(source, members);
        platform::Error error;
        EXPECT_FALSE(Import(source, error)) << c.name;
        EXPECT_EQ(error.code, c.code) << c.name << ": " << platform::ErrorText(error);
    }
    // A member whose bytes no longer match its CRC, though it is still a picture.
    WriteKmz(dir.file("crc.kmz"), {{"doc.kml", Text(Kml(box))}, {"a.jpg", jpeg}}, true);
    Bytes archive = fixture::ReadBytes(dir.file("crc.kmz"));
    const auto image = std::search(archive.begin(), archive.end(), jpeg.begin(), jpeg.end());
    ASSERT_NE(image, archive.end());
    image[std::ptrdiff_t(jpeg.size()) - 3] ^= 0x55;
    fixture::WriteBytes(dir.file("crc.kmz"), archive);
    // Beside a KML file, an image that is a link out of its folder is outside as "../" is.
    std::filesystem::create_directory(dir.file("src"));
    fixture::WriteBytes(dir.file("src/x.kml"), Text(Kml(box)));
    fixture::WriteBytes(dir.file("outside.jpg"), jpeg);
    std::filesystem::create_symlink(dir.file("outside.jpg"), dir.file("src/a.jpg"));
    fixture::WriteBytes(dir.file("junk.kmz"), Bytes(500, 'x'));
    for (const char* name : {"crc.kmz", "src/x.kml", "junk.kmz"}) {
        platform::Error error;
        EXPECT_FALSE(Import(dir.file(name), error));
        EXPECT_EQ(error.code, ErrorCode::ConvertBadSource) << name << ": " << platform::ErrorText(error);
    }
    EXPECT_EQ(fixture::TakeSnapshot(out.path()), (fixture::Snapshot{{"map.jnx", before}}));
}

std::string Link(const std::string& href) {
    return "<NetworkLink><Link><href>" + href + "</href></Link></NetworkLink>";
}

// A super-overlay laid out as GDAL writes one: doc.kml links to the top tile's document,
// which holds its overlay and links to its quarters by paths that climb back to the root;
// the quarters' images are named relative to their own documents. Read from the archive
// and from a folder, every tile comes back at its box with its bytes.
TEST_F(KmzTest, SuperOverlaysImportEveryLinkedLevel) {
    std::vector<std::pair<std::string, Bytes>> members = {{"doc.kml", Text(Kml(Link("0/0/0.kml")))}};
    std::map<Bytes, convert::JnxBounds> expected;  // stored bytes: bounds
    std::string top;
    // 32 pixels across two degrees at the top, across one below; heights only tell tiles apart.
    const auto tile = [&](const std::string& folder, int y, double north, double east, double side, int height) {
        const Bytes stored = fixture::RealJpeg(32, height, false);
        const std::string image = std::to_string(y) + ".jpg";
        members.emplace_back(folder + image, WithSoi(stored));
        expected[stored] = {convert::JnxUnits(north), convert::JnxUnits(east), convert::JnxUnits(north - side),
                            convert::JnxUnits(east - side)};
        return Overlay(image, north, north - side, east, east - side);
    };
    for (int x = 0; x < 2; ++x)
        for (int y = 0; y < 2; ++y) {
            const std::string folder = "1/" + std::to_string(x) + "/";
            members.emplace_back(folder + std::to_string(y) + ".kml",
                                 Text(Kml(tile(folder, y, 46 + y, 8 + x, 1, 33 + 2 * x + y))));
            top += Link("../../" + folder + std::to_string(y) + ".kml");
        }
    members.emplace_back("0/0/0.kml", Text(Kml(tile("0/0/", 0, 47, 9, 2, 40) + top)));
    WriteKmz(dir.file("so.kmz"), members);
    for (const auto& [name, bytes] : members) {
        std::filesystem::create_directories(std::filesystem::path(dir.file("so/" + name)).parent_path());
        fixture::WriteBytes(dir.file("so/" + name), bytes);
    }
    for (const char* source : {"so.kmz", "so/doc.kml"}) {
        platform::Error error;
        ASSERT_TRUE(Import(dir.file(source), error)) << source << ": " << platform::ErrorText(error);
        std::vector<std::size_t> counts;
        for (const auto& level : fixture::TilesIn(out.file("map.jnx"))) {
            counts.push_back(level.size());
            for (const auto& t : level) {
                ASSERT_EQ(expected.count(t.data), 1u) << source;
                EXPECT_EQ(t.bounds, expected[t.data]) << source;
            }
        }
        EXPECT_EQ(counts, (std::vector<std::size_t>{1, 4})) << source;
    }
}

// Links that lead nowhere an import may go, or on for ever, are refused before a tile is read.
TEST_F(KmzTest, HostileLinksAreRefused) {
    std::string deep, many;
    for (int i = 0; i < 100001; ++i) many += Link("a.kml");
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> documents;  // doc.kml first
        ErrorCode code;
    };
    std::vector<Case> cases = {
        {"itself", {{"doc.kml", Link("doc.kml")}}, ErrorCode::ConvertBadSource},
        {"cycle", {{"doc.kml", Link("a/b.kml")}, {"a/b.kml", Link("../doc.kml")}}, ErrorCode::ConvertBadSource},
        {"twice", {{"doc.kml", Link("a.kml") + Link("./a.kml")}, {"a.kml", ""}}, ErrorCode::ConvertBadSource},
        {"web", {{"doc.kml", Link("http://example.org/a.kml")}}, ErrorCode::ConvertBadSource},
        {"absolute", {{"doc.kml", Link("/a.kml")}}, ErrorCode::ConvertBadSource},
        {"climbs out", {{"doc.kml", Link("a/b.kml")}, {"a/b.kml", Link("../../a.kml")}}, ErrorCode::ConvertBadSource},
        {"missing", {{"doc.kml", Link("gone.kml")}}, ErrorCode::ConvertBadSource},
        {"no KML", {{"doc.kml", Link("a.jpg")}}, ErrorCode::ConvertBadSource},
        {"no href", {{"doc.kml", "<NetworkLink/>"}}, ErrorCode::ConvertBadSource},
        {"broken", {{"doc.kml", Link("a.kml")}, {"a.kml", "<kml><Document>"}}, ErrorCode::ConvertBadSource},
        {"too many", {{"doc.kml", many}, {"a.kml", ""}}, ErrorCode::ConvertSourceLimit},
        {"too deep", {}, ErrorCode::ConvertSourceLimit},
    };
    for (int i = 0; i <= 33; ++i)
        cases.back().documents.emplace_back(i ? "d" + std::to_string(i) + ".kml" : "doc.kml",
                                            Link("d" + std::to_string(i + 1) + ".kml"));
    int n = 0;
    for (const Case& c : cases) {
        std::vector<std::pair<std::string, Bytes>> members = {{"a.jpg", WithSoi(fixture::RealJpeg(16, 16, false))}};
        for (const auto& [name, body] : c.documents)
            members.emplace_back(name, Text(body.starts_with("<kml") ? body : Kml(body)));
        const std::string source = dir.file("links" + std::to_string(++n) + ".kmz");
        WriteKmz(source, members);
        platform::Error error;
        EXPECT_FALSE(Import(source, error)) << c.name;
        EXPECT_EQ(error.code, c.code) << c.name << ": " << platform::ErrorText(error);
    }
    EXPECT_EQ(out.list(), std::vector<std::string>{});
}

// The archive is written into the publish step's own temporary: while it is written the
// folder holds nothing else, and a target name near the file-name limit still works.
TEST_F(KmzTest, ExportWritesOnlyItsTemporary) {
    fixture::JnxRecipe recipe = fixture::SimpleRecipe(4, 1, 300);
    for (auto& tile : recipe.levels[0].tiles) tile.bounds = {tile.bounds[0] + 99, tile.bounds[0] + 99, tile.bounds[0], tile.bounds[0]};
    fixture::WriteBytes(dir.file("in.jnx"), fixture::BuildJnx(recipe).bytes);
    const std::string target = out.file(std::string(251, 'k') + ".kmz");
    std::vector<std::string> seen;
    convert::ExportResult exported;
    platform::Error error;
    ASSERT_TRUE(convert::ExportKmz(dir.file("in.jnx"), target, {}, exported, error, [&](const char*, std::int64_t, std::int64_t) {
        for (const std::string& name : out.list())
            if (!platform::IsTemporaryName(name)) seen.push_back(name);
        return true;
    })) << platform::ErrorText(error);
    EXPECT_EQ(std::pair(seen, out.list()),
              std::pair(std::vector<std::string>{}, std::vector<std::string>{platform::FileNameOf(target)}));
    EXPECT_EQ(Member(target, "files/L1/300.jpg").size(), std::size_t(fixture::ReadFull(dir.file("in.jnx")).Tiles[299].DataSize + 2));
}

// Custom Maps: level 2 is a 6 x 5 grid of 256-px tiles less one (joined 4 x 4 into four
// images, the missing tile filled), one of them progressive; level 1 holds two tiles of
// different widths, which cannot be joined and so give two images.
TEST_F(KmzTest, CustomMapsStayWithinTheUnitsLimits) {
    constexpr std::int32_t span = 1 << 16, north = 45 << 20, west = 6 << 20;
    const auto box = [&](int col, int row, int cols = 1, int rows = 1) {
        return convert::JnxBounds{north - row * span, west + (col + cols) * span, north - (row + rows) * span,
                                  west + col * span};
    };
    const auto stored = [](const Bytes& jpeg) { return Bytes(jpeg.begin() + 2, jpeg.end()); };
    fixture::JnxRecipe recipe;
    recipe.bounds = box(0, 0, 6, 5);
    recipe.levels.resize(2);
    recipe.levels[0].scale = 8000;
    recipe.levels[0].tiles = {{stored(fixture::Encode(256, 256, 40, {})), box(0, 0, 4, 5), {0, 1, 0, 1}},
                              {stored(fixture::Encode(128, 256, 41, {})), box(4, 0, 2, 5), {128, 0, 0, 1}}};
    recipe.levels[1].scale = 2000;
    std::vector<Bytes> sources;
    for (int i = 0; i < 30; ++i) {
        if (i == 7) continue;
        sources.push_back(fixture::Encode(256, 256, i, {3, 2, 2, 75, i == 0}));
        recipe.levels[1].tiles.push_back({stored(sources.back()), box(i % 6, i / 6), {0, 1, 0, 1}});
    }
    fixture::WriteBytes(dir.file("in.jnx"), fixture::BuildJnx(recipe).bytes);
    const auto exported = [&](convert::CustomMapsOptions options, const std::string& name,
                              convert::CustomMapsResult& result) {
        platform::Error error;
        const bool ok = convert::ExportCustomMaps(dir.file("in.jnx"), out.file(name), options, result, error);
        return ok ? ErrorCode::None : error.code;
    };

    // The finest level fits: four images, each within the limits and at its tiles' box.
    convert::CustomMapsResult result;
    ASSERT_EQ(exported({}, "all.kmz", result), ErrorCode::None);
    EXPECT_EQ(std::tuple(result.level, result.joined, result.images, result.files.size()),
              std::tuple(2, 4, std::int64_t(4), std::size_t(1)));
    const Bytes kml = Member(out.file("all.kmz"), "doc.kml");
    convert::KmlDocument doc;
    std::size_t at = 0;
    platform::Error error;
    ASSERT_TRUE(convert::ReadKml(
        "doc.kml",
        [&](char* buffer, std::size_t n, std::size_t& got, platform::Error&) {
            got = std::min(n, kml.size() - at);
            std::copy_n(kml.begin() + std::ptrdiff_t(at), got, buffer);
            at += got;
            return true;
        },
        doc, error));
    const std::vector<convert::JnxBounds> boxes{box(0, 0, 4, 4), box(4, 0, 2, 4), box(0, 4, 4), box(4, 4, 2)};
    ASSERT_EQ(std::pair(doc.folders.size(), doc.folders.at(0).overlays.size()),
              std::pair(std::size_t(1), std::size_t(4)));
    for (std::size_t i = 0; i < 4; ++i) {
        const convert::KmlOverlay& overlay = doc.folders[0].overlays[i];
        EXPECT_EQ(overlay.bounds, boxes[i]) << i;
        const Bytes image = Member(out.file("all.kmz"), overlay.href);
        const check::JpegFrame frame = check::WalkToFrame(image.data() + 2, image.size() - 2);
        EXPECT_TRUE(frame.status == check::JpegFrame::Status::Found && !check::NeedsBaselineDecoder(frame.marker));
        EXPECT_LE(std::max(frame.width, frame.height), 1024);
        EXPECT_LT(image.size(), 3u << 20);
    }
    // Joined without a pixel lost, the progressive tile too; the hole is white.
    const fixture::Picture first = fixture::Decode(Member(out.file("all.kmz"), "files/1.jpg"));
    EXPECT_EQ(std::pair(first.width, first.height), std::pair(1024, 1024));
    EXPECT_EQ(fixture::Differences(first, fixture::Decode(sources[0]), 0, 0), 0);
    EXPECT_EQ(fixture::Differences(first, fixture::Decode(sources[12]), 256, 512), 0);
    EXPECT_GE(first.At(256 + 9, 256 + 9, 0), 253);

    // A budget of three takes the coarser level; a level named is cut into files within it.
    convert::CustomMapsOptions options;
    options.maxImages = 3;
    ASSERT_EQ(exported(options, "budget.kmz", result), ErrorCode::None);
    EXPECT_EQ(std::tuple(result.level, result.joined, result.images), std::tuple(1, 1, std::int64_t(2)));
    options.level = 2;
    ASSERT_EQ(exported(options, "parts.kmz", result), ErrorCode::None);
    ASSERT_EQ(result.files.size(), 2u);
    EXPECT_EQ(std::pair(result.files[0].path, result.files[1].images),
              std::pair(out.file("parts_1.kmz"), std::int64_t(1)));
    zip_t* part = zip_open(out.file("parts_1.kmz").c_str(), ZIP_RDONLY, nullptr);
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(zip_get_num_entries(part, 0), 4);
    zip_discard(part);
    EXPECT_EQ(exported(options, "parts.kmz", result), ErrorCode::OutputExists);
    // A part of an earlier, larger set refuses too, even beyond the new one; overwritten, it goes.
    fixture::WriteBytes(out.file("stale_3.kmz"), Bytes(1));
    EXPECT_EQ(exported(options, "stale.kmz", result), ErrorCode::OutputExists);
    options.overwrite = true;
    ASSERT_EQ(exported(options, "stale.kmz", result), ErrorCode::None);
    EXPECT_TRUE(std::filesystem::exists(out.file("stale_2.kmz")) && !std::filesystem::exists(out.file("stale_3.kmz")));

    // Not even the coarsest level fits: refused with the numbers, nothing written.
    const auto before = out.list();
    options = {};
    options.maxImages = 1;
    platform::Error refusal;
    EXPECT_FALSE(convert::ExportCustomMaps(dir.file("in.jnx"), out.file("none.kmz"), options, result, refusal));
    EXPECT_EQ(std::tuple(refusal.code, refusal.level, refusal.value, refusal.other),
              std::tuple(ErrorCode::CustomMapsOverBudget, std::int64_t(1), std::int64_t(2), std::string("1")));
    EXPECT_EQ(out.list(), before);
    // Tiles of other tables cannot be joined: the joiner's refusal, not the archive's.
    recipe.levels[1].tiles[3].data = stored(fixture::Encode(256, 256, 3, {3, 2, 2, 60, false}));
    fixture::WriteBytes(dir.file("mixed.jnx"), fixture::BuildJnx(recipe).bytes);
    EXPECT_FALSE(convert::ExportCustomMaps(dir.file("mixed.jnx"), out.file("mixed.kmz"), {}, result, refusal));
    EXPECT_EQ(refusal.code, ErrorCode::JpegJoinMismatch);
    EXPECT_EQ(out.list(), before);

    // The command line: the files listed, the refusal and the usage errors by their exit codes.
    const auto cli = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"export", dir.file("in.jnx"), "--custom-maps"});
        return fixture::RunProgram(TESSALY_CLI_PATH, args, dir.path());
    };
    const fixture::ProgramRun split =
        cli({"--out", out.file("cli.kmz"), "--level", "2", "--max-images", "2", "--draw-order", "70", "--json"});
    EXPECT_EQ(split.code, 0) << split.err;
    EXPECT_TRUE(split.out.find("\"path\": \"" + out.file("cli_2.kmz") + "\"") != split.out.npos &&
                split.out.find("\"max_images\": 2") != split.out.npos)
        << split.out;
    const Bytes drawn = Member(out.file("cli_1.kmz"), "doc.kml");
    EXPECT_NE(std::string(drawn.begin(), drawn.end()).find("<drawOrder>70</drawOrder>"), std::string::npos);
    EXPECT_EQ(cli({"--out", out.file("cli.kmz"), "--max-images", "1"}).code, 1);
    EXPECT_EQ(cli({"--out", out.file("cli.kmz"), "--max-images", "1", "--device", "classic"}).code, 2);
    EXPECT_EQ(cli({"--out", out.file("cli.mbtiles")}).code, 2);
}

// A tile stored without its FF D9 gets it back in what is exported, as some
// viewers refuse the image otherwise; a whole tile is copied as it is.
TEST_F(KmzTest, ExportsAddAMissingEndMarker) {
    fixture::JnxRecipe recipe = OffGridMap();
    const Bytes whole = WithSoi(recipe.levels[1].tiles[2].data);
    recipe.levels[1].tiles[2].data.resize(recipe.levels[1].tiles[2].data.size() - 2);
    fixture::WriteBytes(dir.file("in.jnx"), fixture::BuildJnx(recipe).bytes);
    convert::ExportResult exported;
    platform::Error error;
    ASSERT_TRUE(convert::ExportKmz(dir.file("in.jnx"), out.file("map.kmz"), {}, exported, error));
    EXPECT_EQ(std::pair(Member(out.file("map.kmz"), "files/L2/3.jpg"), Member(out.file("map.kmz"), "files/L2/4.jpg")),
              std::pair(whole, WithSoi(recipe.levels[1].tiles[3].data)));
}

}  // namespace
