// The device check: each finding from maps built to carry it, the JPEG header walk on
// hand-built headers, folders over the unit's file count, and the unreadable map.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <tuple>

#include "check/device_check.h"
#include "check/device_roots.h"
#include "check/folder_check.h"
#include "jnx/reader.h"
#include "platform/binary_file.h"
#include "platform/le.h"
#include "settings/scale_model.h"
#include "support/edit_support.h"
#include "support/jnx_builder.h"
#include "support/real_jpeg.h"

namespace {

using check::FindingCode;
using fixture::Bytes;
using fixture::JnxRecipe;
using Place = std::tuple<FindingCode, std::int64_t, std::int64_t>;  // code, level, tile

constexpr std::int32_t kDegree = 11930465;  // bounds units per degree, near enough

// Header-only JPEG fixtures: SOI stripped as the tiles store it, then APP0, DQT, a frame
// header, DHT and SOS with a few scan bytes. The walk never decodes, so the tables need
// only be the right shape; none of these would show as a picture.
Bytes Jpeg(std::uint8_t frame, int width, int height, std::size_t appPadding = 0) {
    Bytes b = {0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
    if (appPadding > 0) {
        const std::size_t length = appPadding + 2;
        b.insert(b.end(), {0xFF, 0xE1, std::uint8_t(length >> 8), std::uint8_t(length)});
        b.insert(b.end(), appPadding, 0xAB);
    }
    b.insert(b.end(), {0xFF, 0xDB, 0x00, 0x43, 0x00});
    b.insert(b.end(), 64, 1);
    b.insert(b.end(), {0xFF, frame, 0x00, 0x11, 8, std::uint8_t(height >> 8), std::uint8_t(height),
                       std::uint8_t(width >> 8), std::uint8_t(width), 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1});
    b.insert(b.end(), {0xFF, 0xFF, 0xC4, 0x00, 0x05, 0x00, 0x00, 0x00});  // a fill byte before the marker
    b.insert(b.end(), {0xFF, 0xDA, 0x00, 0x0C, 3, 1, 0, 2, 0x11, 3, 0x11, 0, 0x3F, 0, 0x12, 0x34, 0xFF, 0xD9});
    return b;
}

fixture::TileRecipe Tile(Bytes data, std::array<std::int32_t, 4> bounds = {6 * kDegree, 6 * kDegree, 4 * kDegree, 4 * kDegree}) {
    return {std::move(data), bounds, {0, 1, 0, 1}};  // 256 x 256
}

// Two levels, as the device takes them: copy in step, distinct scales and zooms, tiles
// inside the bounds, a draw order in range.
JnxRecipe Good(int version = 4) {
    JnxRecipe r;
    r.version = version;
    r.bounds = {10 * kDegree, 10 * kDegree, 0, 0};
    r.productId = 4242;
    r.reserved = {0x00, 0x92, 0x10};
    r.drawOrder = 50;
    for (int i = 0; i < 2; ++i) {
        auto& level = r.levels.emplace_back();
        level.scale = 4777 / (i + 1);
        level.zoom = i + 1;
        level.tiles = {Tile(Jpeg(0xC0, 256, 256)), Tile(Jpeg(0xC0, 256, 256))};
    }
    return r;
}

std::vector<Place> Places(const std::vector<check::Finding>& findings) {
    std::vector<Place> out;
    for (const auto& f : findings) {
        EXPECT_EQ(check::FindingText(f).find('{'), std::string::npos);
        out.emplace_back(f.code, f.level, f.tile);
    }
    return out;
}

check::MapReport CheckBuilt(const fixture::TempDir& dir, const JnxRecipe& recipe, bool deep) {
    const std::string path = dir.file("MAP.jnx");
    fixture::WriteBytes(path, fixture::BuildJnx(recipe).bytes);
    const check::MapReport report = check::CheckMapFile(path, deep);
    EXPECT_TRUE(report.read) << platform::ErrorText(report.error);
    return report;
}

struct StructureCase {
    const char* name;
    std::function<void(JnxRecipe&)> change;
    std::vector<Place> expected;
};

TEST(DeviceCheck, EachLimitAndRepeatIsFoundWhereItLies) {
    const std::vector<StructureCase> cases = {
        {"as the device takes it", [](JnxRecipe&) {}, {}},
        {"five levels, draw order 0 and 100 are the limits", [](JnxRecipe& r) {
             r.drawOrder = 100;
             for (int i = 2; i < 5; ++i) r.levels.push_back(r.levels[0]), r.levels.back().scale = 100 * (10 - i), r.levels.back().zoom = i + 1;
         }, {}},
        {"six levels", [](JnxRecipe& r) {
             for (int i = 2; i < 6; ++i) r.levels.push_back(r.levels[0]), r.levels.back().scale = 100 * (10 - i), r.levels.back().zoom = i + 1;
         }, {{FindingCode::LevelsOverLimit, 0, 0}}},
        {"draw order", [](JnxRecipe& r) { r.drawOrder = 101; }, {{FindingCode::DrawOrderRange, 0, 0}}},
        {"negative draw order", [](JnxRecipe& r) { r.drawOrder = -1; }, {{FindingCode::DrawOrderRange, 0, 0}}},
        {"repeats at the later level", [](JnxRecipe& r) {
             r.levels.push_back(r.levels[0]);
             r.levels[1].zoom = 1;
         }, {{FindingCode::ZoomDuplicate, 2, 0}, {FindingCode::ZoomDuplicate, 3, 0}, {FindingCode::ScaleDuplicate, 3, 0},
             {FindingCode::LevelsNotCoarseToFine, 3, 0}}},  // coarser than level 2: a note
        {"copy of the product ID behind", [](JnxRecipe& r) { r.reserved = {0, 0, 0}; }, {{FindingCode::ProductIdCopy, 0, 0}}},
        {"product ID beyond 16 bits", [](JnxRecipe& r) { r.productId = 70000; }, {{FindingCode::ProductIdCopy, 0, 0}}},
        {"north below south", [](JnxRecipe& r) { r.bounds = {0, 10 * kDegree, 10 * kDegree, 0}; }, {{FindingCode::BoundsInvalid, 0, 0}}},
        {"beyond the pole", [](JnxRecipe& r) { r.bounds[0] = 91 * kDegree; }, {{FindingCode::BoundsInvalid, 0, 0}}},
        {"a tile outside, one touching an edge", [](JnxRecipe& r) {
             r.levels[1].tiles[1].bounds = {12 * kDegree, 12 * kDegree, 11 * kDegree, 11 * kDegree};
             r.levels[0].tiles[0].bounds = {10 * kDegree, 10 * kDegree, 9 * kDegree, 9 * kDegree};
         }, {{FindingCode::TileOutsideBounds, 2, 2}}},
        {"a tile with its start marker", [](JnxRecipe& r) {
             r.levels[1].tiles[0].data.insert(r.levels[1].tiles[0].data.begin(), {0xFF, 0xD8});
         }, {{FindingCode::TileHasSoi, 2, 1}}},
        {"a level over the tile limit", [](JnxRecipe& r) { r.levels[0].tiles.assign(50001, r.levels[0].tiles[0]); },
         {{FindingCode::TilesOverLimit, 1, 0}}},
    };
    fixture::TempDir dir;
    for (const auto& c : cases) {
        JnxRecipe recipe = Good();
        c.change(recipe);
        EXPECT_EQ(Places(CheckBuilt(dir, recipe, false).findings), c.expected) << c.name;
    }
    // A version 3 file has no draw order of its own to judge.
    EXPECT_TRUE(CheckBuilt(dir, Good(3), false).findings.empty());
}

// One tile per way a header can go: the deep walk finds each, a quick check only the
// start marker.
TEST(DeviceCheck, DeepCheckWalksEachTileToItsFrameHeader) {
    Bytes truncated = Jpeg(0xC0, 256, 256);
    truncated.resize(40);  // ends inside the quantisation table
    Bytes soi = {0xFF, 0xD8};
    const Bytes baseline = Jpeg(0xC0, 256, 256);
    soi.insert(soi.end(), baseline.begin(), baseline.end());
    const std::vector<std::pair<Bytes, std::vector<FindingCode>>> tiles = {
        {baseline, {}},
        {Jpeg(0xC1, 256, 256), {}},
        {Jpeg(0xC0, 256, 256, 20000), {}},  // the frame header lies beyond the first read
        {Jpeg(0xC2, 256, 256), {FindingCode::TileProgressive}},
        {fixture::RealJpeg(256, 256, false), {}},  // as an encoder writes them
        {fixture::RealJpeg(256, 256, true), {FindingCode::TileProgressive}},
        {Jpeg(0xC9, 256, 256), {FindingCode::TileProgressive}},
        {Jpeg(0xC3, 256, 256), {FindingCode::TileProgressive}},
        {Jpeg(0xC0, 256, 128), {FindingCode::TileSizeMismatch}},
        {soi, {FindingCode::TileHasSoi}},
        {fixture::MakeTileData(3, 300), {FindingCode::TileNotJpeg}},
        {truncated, {FindingCode::TileNotJpeg}},
        {{0xFF, 0xDA, 0x00, 0x02, 0xFF, 0xD9}, {FindingCode::TileNotJpeg}},  // scan before any frame
    };
    JnxRecipe recipe = Good();
    recipe.levels.resize(1);
    recipe.levels[0].tiles.clear();
    std::vector<Place> deep, quick;
    for (std::size_t t = 0; t < tiles.size(); ++t) {
        recipe.levels[0].tiles.push_back(Tile(tiles[t].first));
        for (FindingCode code : tiles[t].second) {
            deep.emplace_back(code, 1, std::int64_t(t) + 1);
            if (code == FindingCode::TileHasSoi) quick.emplace_back(code, 1, std::int64_t(t) + 1);
        }
    }
    recipe.reverseDataOrder = true;  // the report follows the tables, not the file
    fixture::TempDir dir;
    EXPECT_EQ(Places(CheckBuilt(dir, recipe, true).findings), deep);
    EXPECT_EQ(Places(CheckBuilt(dir, recipe, false).findings), quick);

    // A map read in full (as the editor reads it) gives its heads from the check values.
    const jnx::JnxDocument doc = fixture::ReadFull(dir.file("MAP.jnx"));
    platform::Error error;
    platform::BinaryFile file;  // never opened: nothing is read from it
    std::vector<check::Finding> fromValues;
    ASSERT_TRUE(check::CheckTileHeads(doc, file, false, fromValues, error));
    EXPECT_EQ(Places(fromValues), quick);
}

// A file past 4 GiB is told by its length.
TEST(DeviceCheck, OversizedFile) {
    fixture::TempDir dir;
    const std::string huge = dir.file("huge.jnx");
    fixture::WriteBytes(huge, fixture::BuildJnx(Good()).bytes);
    std::filesystem::resize_file(huge, std::uintmax_t(1) << 32);  // a hole: no room on disk
    const check::MapReport report = check::CheckMapFile(huge, false);
    EXPECT_EQ(Places(report.findings), (std::vector<Place>{{FindingCode::FileOverLimit, 0, 0}}));
    EXPECT_FALSE(report.Ok());
}

TEST(DeviceCheck, FoldersOverTheUnitsFileCount) {
    fixture::TempDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    for (int i = 0; i < 251; ++i) fixture::WriteBytes(dir.file("sub/m" + std::to_string(i) + (i ? ".jnx" : ".JNX")), {});
    fixture::WriteBytes(dir.file("sub/m.jnx.bak"), {});
    for (int i = 0; i < 250; ++i) fixture::WriteBytes(dir.file("m" + std::to_string(i) + ".jnx"), {});
    std::filesystem::create_directory_symlink(dir.path(), dir.file("sub/back"));  // a loop

    std::vector<check::FolderReport> folders;
    std::vector<std::string> skipped;
    platform::Error error;
    ASSERT_TRUE(check::ListJnxFolders(dir.path(), true, folders, skipped, error));
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(std::tuple(folders[0].jnxFiles.size(), folders[0].findings.size(), folders[1].jnxFiles.size()),
              std::tuple(250u, 0u, 251u));
    EXPECT_EQ(Places(folders[1].findings), (std::vector<Place>{{FindingCode::FolderOverLimit, 0, 0}}));
    EXPECT_FALSE(check::ListJnxFolders(dir.file("none"), false, folders, skipped, error));
}

// A folder nested deeper than a path can name is reported as not read, never passed over.
TEST(DeviceCheck, FoldersBeyondPathMaxAreReportedNotRead) {
    fixture::TempDir dir;
    const std::string name(250, 'd');
    std::vector<int> chain{::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY)};
    for (int i = 0; i < 20 && chain.back() >= 0; ++i) {
        ::mkdirat(chain.back(), name.c_str(), 0755);
        chain.push_back(::openat(chain.back(), name.c_str(), O_RDONLY | O_DIRECTORY));
    }
    std::vector<check::FolderReport> folders;
    std::vector<std::string> skipped;
    platform::Error error;
    EXPECT_TRUE(check::ListJnxFolders(dir.path(), true, folders, skipped, error));
    EXPECT_EQ(skipped.size(), 1u);
    // Removed from the innermost out, by descriptor: the paths are too long to name.
    for (std::size_t i = chain.size() - 1; i > 0; --i) {
        ::close(chain[i]);
        ::unlinkat(chain[i - 1], name.c_str(), AT_REMOVEDIR);
    }
    ::close(chain.front());
}

// A level is judged against the scale its tiles call for, under the profile's factor:
// two rows off either way is found, a fitted one is not; a tile table without pixel sizes
// is measured from the JPEG headers.
TEST(DeviceCheck, ScaleFarFromImagery) {
    settings::SettingsTables tables;
    ASSERT_TRUE(settings::CargarCombos(settings::Settings(TESSALY_INI_PATH), tables));
    fixture::TempDir dir;
    // 2 degrees over 256 pixels at 5 degrees north.
    const std::int32_t native = settings::NativeScale(settings::GroundMetresPerPixel(2.0 / 256, 5));
    struct Case {
        double scale, factor;
        bool fromHeaders;
        std::vector<int> variants;  // of the findings, level 1 only
    };
    const Case cases[] = {{1.0, 1.0, false, {}},  {0.25, 1.0, false, {1}}, {4.0, 1.0, false, {0}},
                          {1.0, 3.5, false, {1}}, {3.5, 3.5, false, {}},   {1.0, 1.0, true, {0}}};
    for (const Case& c : cases) {
        JnxRecipe recipe = Good();
        recipe.levels.resize(1);
        recipe.levels[0].scale = std::int32_t(native * c.scale);
        if (c.fromHeaders)  // 1024-pixel tiles: a quarter of the scale 256 pixels call for
            for (auto& tile : recipe.levels[0].tiles) tile = {Jpeg(0xC0, 1024, 1024), tile.bounds, {0, 0, 0, 0}};
        const std::string path = dir.file("m.jnx");
        fixture::WriteBytes(path, fixture::BuildJnx(recipe).bytes);
        jnx::JnxDocument doc;
        std::int32_t total = 0;
        platform::Error error;
        platform::BinaryFile file;
        ASSERT_TRUE(jnx::ReadJnx(doc, path, total, error, jnx::ReadDepth::Tables) &&
                    file.Open(path, platform::BinaryFile::Mode::Read, error));
        std::vector<int> variants;
        for (const auto& f : check::CheckStructure(doc, &tables.ZoomTable, c.factor, &file))
            if (f.code == FindingCode::ScaleFarFromImagery) variants.push_back(f.variant);
        EXPECT_EQ(variants, c.variants) << c.scale << " " << c.factor;
    }
}

// A ZIP of empty stored members, as far as a central directory reader looks.
Bytes Zip(const std::vector<std::string>& names) {
    Bytes out, directory;
    const auto put = [](Bytes& b, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) b.push_back(i < 4 ? std::uint8_t(value >> (8 * i)) : 0);
    };
    for (const std::string& name : names) {
        const auto offset = std::uint32_t(out.size());
        put(out, 0x04034b50, 4), put(out, 0, 22), put(out, std::uint32_t(name.size()), 2), put(out, 0, 2);
        out.insert(out.end(), name.begin(), name.end());
        put(directory, 0x02014b50, 4), put(directory, 0, 24), put(directory, std::uint32_t(name.size()), 2);
        put(directory, 0, 12), put(directory, offset, 4);
        directory.insert(directory.end(), name.begin(), name.end());
    }
    const auto at = std::uint32_t(out.size());
    out.insert(out.end(), directory.begin(), directory.end());
    put(out, 0x06054b50, 4), put(out, 0, 4), put(out, std::uint32_t(names.size()), 2);
    put(out, std::uint32_t(names.size()), 2), put(out, std::uint32_t(directory.size()), 4), put(out, at, 4),
        put(out, 0, 2);
    return out;
}

// Memory and card judged as one device: maps and images counted across both roots (folder
// names in any case) against the profile's budgets, and what several maps do together.
TEST(DeviceCheck, DeviceRootsTogether) {
    fixture::TempDir dir;
    namespace fs = std::filesystem;
    for (const char* folder : {"int/Garmin/BirdsEye", "card/GARMIN/birdseye", "card/GARMIN/CustomMaps"})
        fs::create_directories(dir.file(folder));
    const auto map = [&](const std::string& name, int version, std::int32_t id, const std::string& group,
                         const std::string& guid, std::array<std::int32_t, 4> bounds) {
        JnxRecipe r = Good(version);
        r.productId = id, r.groupName = group, r.guid = guid, r.bounds = bounds;
        fixture::WriteBytes(dir.file(name), fixture::BuildJnx(r).bytes);
    };
    map("int/Garmin/BirdsEye/a.jnx", 4, 1, "G1", "GUID-A", {10 * kDegree, 10 * kDegree, 0, 0});
    map("int/Garmin/BirdsEye/b.JNX", 4, 1, "G2", "GUID-A", {12 * kDegree, 12 * kDegree, 5 * kDegree, 5 * kDegree});
    map("card/GARMIN/birdseye/c.jnx", 3, 2, "", "", {30 * kDegree, 30 * kDegree, 20 * kDegree, 20 * kDegree});
    map("card/GARMIN/birdseye/d.jnx", 3, 2, "", "", {40 * kDegree, 40 * kDegree, 30 * kDegree, 30 * kDegree});
    fixture::WriteBytes(dir.file("card/GARMIN/CustomMaps/loose.JPG"), {});
    fixture::WriteBytes(dir.file("card/GARMIN/CustomMaps/m.kmz"), Zip({"doc.kml", "files/1.jpg", "files/2.jpeg"}));
    Bytes cut = Zip({"x.jpg"});
    cut.resize(cut.size() - 1);
    fixture::WriteBytes(dir.file("card/GARMIN/CustomMaps/cut.kmz"), cut);

    settings::DeviceProfile profile = settings::DefaultDeviceProfile();
    profile.maxMaps = 3, profile.maxImages = 2;
    check::DeviceRootsReport report;
    platform::Error error;
    ASSERT_TRUE(check::CheckDeviceRoots({dir.file("int"), dir.file("card")}, profile, report, error));
    EXPECT_EQ(std::tuple(report.maps.size(), report.images, report.unreadable.size()), std::tuple(4u, 3, 1u));
    EXPECT_EQ(Places(report.findings), (std::vector<Place>{{FindingCode::DeviceMapsOverBudget, 0, 0},
                                                           {FindingCode::DeviceImagesOverBudget, 0, 0},
                                                           {FindingCode::ProductIdGroupsDiffer, 0, 0},
                                                           {FindingCode::MapGuidDuplicate, 0, 0},
                                                           {FindingCode::DrawOrderOverlap, 0, 0}}));
    EXPECT_FALSE(check::CheckDeviceRoots({dir.file("none")}, profile, report, error));
}

}  // namespace
