#include <gtest/gtest.h>

#include <string>

#include "jnx/codec.h"
#include "jnx/reader.h"
#include "platform/le.h"
#include "support/jnx_builder.h"

namespace {

using fixture::BuildJnx;
using fixture::BuiltJnx;
using fixture::JnxRecipe;
using jnx::JnxDocument;

const std::string kUntouched = "caller's text";

void PatchI32(fixture::Bytes& bytes, std::int64_t pos, std::int32_t value) {
    platform::StoreI32(bytes.data() + pos, value);
}

jnx::Bytes Z(const std::string& text) {
    jnx::Bytes out(text.begin(), text.end());
    out.push_back(0);
    return out;
}

// Offset of the TableOffset field of a level entry: 4 bytes before its Scale.
std::int64_t TableOffsetField(const BuiltJnx& built, std::size_t level) { return built.scalePositions[level] - 4; }
// Offset of the DataSize field of a tile in its table (tiles numbered from 0 over all levels).
std::int64_t DataSizeField(const BuiltJnx& built, std::size_t tile) {
    return built.firstTableOffset + std::int64_t(tile) * jnx::kTileEntrySize + 20;
}

class CountingObserver : public jnx::BusyObserver {
public:
    void Begin() override { ++begins; }
    void End() override { ++ends; }
    int begins = 0;
    int ends = 0;
};

class ReaderTest : public ::testing::TestWithParam<int> {
protected:
    int version() const { return GetParam(); }

    // Writes the bytes and reads them; the result and the texts are kept for the test.
    bool Read(const fixture::Bytes& bytes, bool readTiles = true) {
        fixture::WriteBytes(path_, bytes);
        errorText = kUntouched;
        totalTiles = -1;
        return jnx::ReadJnx(doc, path_, totalTiles, errorText, readTiles, &observer);
    }
    bool Read(const JnxRecipe& recipe, bool readTiles = true) {
        built = BuildJnx(recipe);
        return Read(built.bytes, readTiles);
    }

    fixture::TempDir dir_;
    std::string path_ = dir_.file("map.jnx");
    JnxDocument doc;
    BuiltJnx built;
    std::string errorText;
    std::int32_t totalTiles = -1;
    CountingObserver observer;
};

TEST_P(ReaderTest, FullReadFillsTheModel) {
    JnxRecipe recipe = fixture::SimpleRecipe(version(), 3, 5);
    recipe.zeroedFields = {11, 12, 13, 14, 15};
    recipe.levels[1].extra = 7;  // rebuilt as 2 whatever the file holds
    ASSERT_TRUE(Read(recipe)) << errorText;
    EXPECT_EQ(errorText, kUntouched);
    EXPECT_EQ(totalTiles, 15);

    const auto& h = doc.Header;
    EXPECT_EQ(h.Version, version());
    EXPECT_EQ(h.ProductId, 7);
    EXPECT_EQ(h.LevelCount, 3);
    EXPECT_EQ(h.Bounds, (std::array<std::int32_t, 4>{100, 200, 50, 60}));
    EXPECT_EQ(h.ZeroedField1 | h.ZeroedField2 | h.ZeroedField3 | h.ZeroedField4 | h.ZeroedField5, 0);
    EXPECT_EQ(h.DrawOrder, version() == 4 ? 30 : 25);

    ASSERT_EQ(doc.Levels.size(), 3u);
    ASSERT_EQ(doc.LevelInfos.size(), 3u);
    ASSERT_EQ(doc.LevelExtras.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(doc.Levels[i].TileCount, 5);
        EXPECT_EQ(doc.Levels[i].TableOffset, built.tableOffsets[i]);
        EXPECT_EQ(doc.Levels[i].Scale, recipe.levels[i].scale);
        EXPECT_EQ(doc.LevelInfos[i].Name, Z(recipe.levels[i].name));
        EXPECT_EQ(doc.LevelInfos[i].Description, Z(recipe.levels[i].description));
        EXPECT_EQ(doc.LevelInfos[i].Copyright, Z(recipe.levels[i].copyright));
        EXPECT_EQ(doc.LevelInfos[i].Zoom, int(i) + 1);
        EXPECT_EQ(doc.LevelExtras[i].Extra, 2);
        EXPECT_EQ(doc.LevelExtras[i].Copyright, doc.LevelInfos[i].Copyright);
        EXPECT_EQ(doc.TileOffset[i], built.tableOffsets[i]);
        EXPECT_EQ(doc.CheckPointsTiles[i].Offset, built.tableOffsets[i]);
        EXPECT_EQ(doc.CheckPointsTiles[i].Value,
                  platform::LoadI32(built.bytes.data() + built.tableOffsets[i]));
    }

    EXPECT_EQ(doc.MapInfo.BlockVersion, 9);
    EXPECT_EQ(doc.MapInfo.MapGuid, Z(recipe.guid));
    EXPECT_EQ(doc.MapInfo.GroupName, Z(recipe.groupName));
    EXPECT_EQ(doc.MapInfo.MapTitle, Z(recipe.mapTitle));
    EXPECT_EQ(doc.MapInfo.InfoLevelCount, 3);
    EXPECT_EQ(doc.GroupNamePos, built.groupNamePos);
    EXPECT_EQ(doc.BlockStart, built.blockStart);
    EXPECT_EQ(doc.FileLength, std::int64_t(built.bytes.size()));
    EXPECT_EQ(doc.OffsetShift, 0);
    EXPECT_FALSE(doc.NeedsRegeneration);
    EXPECT_EQ(std::int64_t(doc.Padding.size()), built.firstTableOffset - (built.blockStart +
              jnx::MapBlockLength(doc.MapInfo, doc.LevelInfos)));

    ASSERT_EQ(doc.Tiles.size(), 15u);
    ASSERT_EQ(doc.jpgOffset.size(), 15u);
    ASSERT_EQ(doc.CheckPointsImages.size(), 15u);
    for (std::size_t t = 0; t < 15; ++t) {
        const auto& tile = recipe.levels[t / 5].tiles[t % 5];
        EXPECT_EQ(doc.Tiles[t].DataOffset, built.dataOffsets[t]);
        EXPECT_EQ(doc.Tiles[t].DataSize, std::int32_t(tile.data.size()));
        EXPECT_EQ(doc.Tiles[t].TileBounds, tile.bounds);
        EXPECT_EQ(doc.Tiles[t].TileAux, tile.aux);
        EXPECT_EQ(doc.jpgOffset[t], built.dataOffsets[t]);
        EXPECT_EQ(doc.CheckPointsImages[t].Offset, built.dataOffsets[t]);
        EXPECT_EQ(doc.CheckPointsImages[t].Value, platform::LoadI32(tile.data.data()));
    }
    EXPECT_TRUE(doc.Signature.empty());
    EXPECT_EQ(doc.FirstTileOf(2), 10u);
    EXPECT_EQ(observer.begins, 1);
    EXPECT_EQ(observer.ends, 1);
}

TEST_P(ReaderTest, QuickReadStopsAfterTheBlock) {
    JnxRecipe recipe = fixture::SimpleRecipe(version(), 2, 3);
    recipe.trailer = {'n', 'o', 'p', 'e'};
    ASSERT_TRUE(Read(recipe, false)) << errorText;
    EXPECT_EQ(totalTiles, 6);
    EXPECT_EQ(doc.Levels.size(), 2u);
    EXPECT_EQ(doc.LevelExtras.size(), 2u);
    EXPECT_EQ(doc.LevelInfos[1].Name, Z("Level 2"));
    EXPECT_TRUE(doc.Tiles.empty());
    EXPECT_TRUE(doc.Previews.empty());
    EXPECT_TRUE(doc.CheckPointsImages.empty());
    EXPECT_EQ(errorText, kUntouched);
}

TEST_P(ReaderTest, AReadReplacesThePreviousModel) {
    ASSERT_TRUE(Read(fixture::SimpleRecipe(version(), 3, 4)));
    ASSERT_TRUE(Read(fixture::SimpleRecipe(version(), 1, 2)));
    EXPECT_EQ(doc.Levels.size(), 1u);
    EXPECT_EQ(doc.Tiles.size(), 2u);
    EXPECT_EQ(doc.Previews.size(), 1u);
    EXPECT_EQ(doc.CheckPointsImages.size(), 2u);
}

TEST_P(ReaderTest, PreviewIsTheMiddleTileOfEachLevel) {
    JnxRecipe recipe = fixture::SimpleRecipe(version(), 5, 0);
    const int counts[] = {1, 12, 13, 0, 100};
    int seed = 500;
    for (int i = 0; i < 5; ++i) {
        for (int j = 0; j < counts[i]; ++j) {
            fixture::TileRecipe tile;
            tile.data = fixture::MakeTileData(seed++, 16);
            recipe.levels[std::size_t(i)].tiles.push_back(tile);
        }
    }
    ASSERT_TRUE(Read(recipe)) << errorText;
    ASSERT_EQ(doc.Previews.size(), 5u);
    const int chosen[] = {1, 1, 4, 0, 25};
    for (std::size_t i = 0; i < 5; ++i) {
        if (chosen[i] == 0) {
            EXPECT_TRUE(doc.Previews[i].empty());
            continue;
        }
        const auto& stored = recipe.levels[i].tiles[std::size_t(chosen[i] - 1)].data;
        jnx::Bytes expected{0xFF, 0xD8};
        expected.insert(expected.end(), stored.begin(), stored.end());
        EXPECT_EQ(doc.Previews[i], expected) << "level " << i + 1;
    }
}

TEST_P(ReaderTest, GapOtherThanTheBlockSpanShiftsOffsets) {
    JnxRecipe recipe = fixture::SimpleRecipe(version(), 2, 2);
    ASSERT_TRUE(Read(recipe));
    const std::int64_t length = jnx::MapBlockLength(doc.MapInfo, doc.LevelInfos);
    for (const int delta : {-1, +1, +300}) {
        recipe.gap = int(1024 - length + delta);
        ASSERT_TRUE(Read(recipe)) << errorText;
        EXPECT_EQ(doc.OffsetShift, -delta);
        EXPECT_TRUE(doc.NeedsRegeneration);
        EXPECT_EQ(doc.Padding, jnx::Bytes(std::size_t(1024 - length), 0));
    }
    // A gap holding something other than zeros is kept as read when the span is right.
    recipe.gap = int(1024 - length);
    built = BuildJnx(recipe);
    built.bytes[std::size_t(built.firstTableOffset - 1)] = 0x5A;
    ASSERT_TRUE(Read(built.bytes));
    EXPECT_FALSE(doc.NeedsRegeneration);
    ASSERT_FALSE(doc.Padding.empty());
    EXPECT_EQ(doc.Padding.back(), 0x5A);
}

TEST_P(ReaderTest, FileWithoutMapBlockGetsTheDefaultBlock) {
    JnxRecipe recipe = fixture::SimpleRecipe(version(), 2, 3);
    recipe.withMapBlock = false;
    recipe.gap = 1024;  // even a 1024-byte gap cannot be patched: there is no block to patch
    ASSERT_TRUE(Read(recipe)) << errorText;
    EXPECT_EQ(doc.MapInfo.BlockVersion, 9);
    const std::string guid = jnx::DecodeText(doc.MapInfo.MapGuid, true);
    EXPECT_EQ(guid.size(), 36u);
    EXPECT_EQ(guid[8], '-');
    EXPECT_EQ(doc.MapInfo.GroupName, Z("BirdsEye Satellite Imagery Subscription"));
    EXPECT_EQ(doc.MapInfo.MapTitle, Z("You map title"));
    EXPECT_EQ(doc.MapInfo.InfoLevelCount, 2);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(doc.LevelInfos[i].Name, Z("Layer 1 name"));
        EXPECT_EQ(doc.LevelInfos[i].Description, Z("Layer 1 name"));
        EXPECT_EQ(doc.LevelInfos[i].Copyright, Z("Copyright"));
        EXPECT_EQ(doc.LevelInfos[i].Zoom, int(i) + 1);
        EXPECT_EQ(doc.LevelExtras[i].Copyright, Z("Copyright"));
    }
    EXPECT_TRUE(doc.NeedsRegeneration);
    EXPECT_EQ(doc.OffsetShift, 0);  // 1024 - gap
    EXPECT_EQ(std::int64_t(doc.Padding.size()), 1024 - jnx::MapBlockLength(doc.MapInfo, doc.LevelInfos));
    EXPECT_EQ(doc.Tiles.size(), 6u);

    recipe.gap = 10;
    ASSERT_TRUE(Read(recipe)) << errorText;
    EXPECT_EQ(doc.OffsetShift, 1014);

    // Each read makes a fresh identifier.
    const auto first = doc.MapInfo.MapGuid;
    ASSERT_TRUE(Read(recipe, false));
    EXPECT_NE(doc.MapInfo.MapGuid, first);
}

TEST_P(ReaderTest, MissingLastZoomBecomes255) {
    JnxRecipe recipe = fixture::SimpleRecipe(version(), 2, 2);
    recipe.lastZoomMissing = true;
    recipe.gap = 0;
    ASSERT_TRUE(Read(recipe)) << errorText;
    EXPECT_EQ(doc.LevelInfos[0].Zoom, 1);
    EXPECT_EQ(doc.LevelInfos[1].Zoom, 255);
    const std::int64_t length = jnx::MapBlockLength(doc.MapInfo, doc.LevelInfos);  // counts the Zoom
    EXPECT_EQ(std::int64_t(doc.Padding.size()), 1024 - length);
    EXPECT_EQ(doc.OffsetShift, 1024 - (length - 4));
    EXPECT_TRUE(doc.NeedsRegeneration);
}

// A block that lacks its last Zoom yet fills the 1024 bytes with its padding was taken to
// stay as it lies, though written back with the Zoom it is up to 4 bytes longer.
TEST_P(ReaderTest, BlockWithoutItsLastZoomThatFillsTheSpanIsTooLong) {
    JnxRecipe recipe = fixture::SimpleRecipe(version(), 2, 2);
    recipe.lastZoomMissing = true;
    recipe.mapTitle.clear();
    recipe.gap = 0;
    const BuiltJnx bare = BuildJnx(recipe);
    const std::int64_t bareLength = bare.firstTableOffset - bare.blockStart;
    recipe.gap = -1;  // padded to 1024
    for (const std::int64_t blockLength : {1021, 1022, 1023, 1024}) {
        recipe.mapTitle = std::string(std::size_t(blockLength - bareLength), 't');
        EXPECT_FALSE(Read(recipe, false)) << blockLength;
        EXPECT_EQ(errorText, "Map block too long: its padding would be negative") << blockLength;
    }
}

TEST(ReaderV4Test, LevelEntriesWithDifferingCopyrightLengths) {
    JnxRecipe recipe = fixture::SimpleRecipe(4, 3, 2);
    recipe.levels[0].tableCopyright = "";
    recipe.levels[0].tableCopyrightSet = true;
    recipe.levels[1].tableCopyright = std::string(300, 'c');
    recipe.levels[1].tableCopyrightSet = true;
    const auto built = BuildJnx(recipe);
    fixture::TempDir dir;
    fixture::WriteBytes(dir.file("a.jnx"), built.bytes);
    JnxDocument doc;
    std::int32_t total = 0;
    std::string error;
    ASSERT_TRUE(jnx::ReadJnx(doc, dir.file("a.jnx"), total, error, true)) << error;
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(doc.Levels[i].Scale, recipe.levels[i].scale);
        EXPECT_EQ(doc.Levels[i].TableOffset, built.tableOffsets[i]);
        EXPECT_EQ(doc.LevelExtras[i].Copyright, Z(recipe.levels[i].copyright));
    }
    EXPECT_EQ(doc.BlockStart, built.blockStart);
}

TEST_P(ReaderTest, SignatureAndReverseDataOrder) {
    JnxRecipe recipe = fixture::SimpleRecipe(version(), 2, 3);
    recipe.signature = {1, 2, 3, 4, 5, 6, 7};
    ASSERT_TRUE(Read(recipe)) << errorText;
    EXPECT_EQ(doc.Signature, recipe.signature);

    // Tile 1's data last: everything before it counts as signature, and the trailer
    // follows the tile with the highest offset.
    recipe.signature.clear();
    recipe.reverseDataOrder = true;
    ASSERT_TRUE(Read(recipe)) << errorText;
    EXPECT_EQ(std::int64_t(doc.Signature.size()), built.dataOffsets[0] - built.dataOffsets[5]);
    for (std::size_t t = 0; t < 6; ++t) EXPECT_EQ(doc.jpgOffset[t], built.dataOffsets[t]);
}

TEST_P(ReaderTest, TrailerForms) {
    JnxRecipe recipe = fixture::SimpleRecipe(version(), 1, 2);
    const std::string mark = "BirdsEye";
    struct Case {
        fixture::Bytes trailer;
        bool valid;
    };
    fixture::Bytes longTrailer(788, 0x33);
    longTrailer.insert(longTrailer.end(), mark.begin(), mark.end());
    fixture::Bytes longBad = longTrailer;
    longBad.back() = 'E';
    fixture::Bytes longer = longTrailer;
    longer.insert(longer.begin(), 0);
    const Case cases[] = {
        {fixture::Bytes(mark.begin(), mark.end()), true},
        {Z(mark), true},
        {Z("birdseye"), false},
        {fixture::Bytes{'B', 'i', 'r', 'd', 's', 'E', 'y', 'e', 0, 0}, false},
        {fixture::Bytes{'B', 'i', 'r', 'd', 's', 'E', 'y'}, false},
        {longTrailer, true},
        {longBad, false},
        {longer, false},
    };
    for (const auto& c : cases) {
        recipe.trailer = c.trailer;
        EXPECT_EQ(Read(recipe), c.valid) << "trailer of " << c.trailer.size() << " bytes";
        if (!c.valid) {
            EXPECT_EQ(errorText, jnx::kErrTrailer);
        }
        // A quick read never looks at the trailer.
        EXPECT_TRUE(Read(recipe, false));
    }
    recipe.trailer.clear();  // the file ends with the last image
    EXPECT_FALSE(Read(recipe));
    EXPECT_NE(errorText, kUntouched);
    EXPECT_NE(errorText, jnx::kErrTrailer);
}

TEST_P(ReaderTest, NamedFailures) {
    JnxRecipe recipe = fixture::SimpleRecipe(version(), 2, 3);
    const BuiltJnx good = BuildJnx(recipe);

    fixture::Bytes bytes = good.bytes;
    PatchI32(bytes, 0, 5);
    EXPECT_FALSE(Read(bytes, false));
    EXPECT_EQ(errorText, jnx::kErrVersion);

    // Tile 1's data starting inside the tables.
    bytes = good.bytes;
    PatchI32(bytes, DataSizeField(good, 0) + 4, std::int32_t(good.tableOffsets[1]));
    EXPECT_FALSE(Read(bytes));
    EXPECT_EQ(errorText, jnx::kErrSignature);

    // Level 2's table said to be elsewhere than after level 1's.
    bytes = good.bytes;
    PatchI32(bytes, TableOffsetField(good, 1), std::int32_t(good.tableOffsets[1] + 28));
    EXPECT_FALSE(Read(bytes));
    EXPECT_EQ(errorText, jnx::kErrTablePlacement);
    EXPECT_TRUE(Read(bytes, false)) << errorText;

    EXPECT_EQ(observer.begins, observer.ends);
}

TEST_P(ReaderTest, OtherFailuresDescribeTheCause) {
    JnxRecipe recipe = fixture::SimpleRecipe(version(), 2, 3);
    const BuiltJnx good = BuildJnx(recipe);

    EXPECT_FALSE(jnx::ReadJnx(doc, dir_.file("absent.jnx"), totalTiles, errorText, false, &observer));
    EXPECT_NE(errorText.find("No such file"), std::string::npos) << errorText;

    fixture::Bytes bytes = good.bytes;
    PatchI32(bytes, DataSizeField(good, 4), 0);
    EXPECT_FALSE(Read(bytes));
    EXPECT_NE(errorText.find("Tile 5"), std::string::npos) << errorText;

    bytes = good.bytes;
    PatchI32(bytes, DataSizeField(good, 4), std::int32_t(bytes.size()));
    EXPECT_FALSE(Read(bytes));
    EXPECT_NE(errorText.find("outside the file"), std::string::npos) << errorText;

    // A map block of 1024 bytes or more has no room for padding.
    recipe.mapTitle = std::string(1100, 't');
    recipe.gap = 0;
    EXPECT_FALSE(Read(recipe, false));
    EXPECT_NE(errorText.find("padding"), std::string::npos) << errorText;

    // Tile counts whose sum does not fit an int32.
    bytes = good.bytes;
    PatchI32(bytes, TableOffsetField(good, 0) - 4, INT32_MAX);
    PatchI32(bytes, TableOffsetField(good, 1) - 4, INT32_MAX);
    EXPECT_FALSE(Read(bytes, false));
    EXPECT_NE(errorText.find("overflow"), std::string::npos) << errorText;
    EXPECT_EQ(observer.begins, observer.ends);
}

// Found by fuzzing: a tile whose image lies inside the map block passed every check, and
// a regeneration then wrote the new block over it.
TEST_P(ReaderTest, TileDataBeforeTheEndOfTheTablesIsRefused) {
    built = BuildJnx(fixture::SimpleRecipe(version(), 2, 2));
    PatchI32(built.bytes, DataSizeField(built, 2) + 4, static_cast<std::int32_t>(built.blockStart + 40));
    EXPECT_TRUE(Read(built.bytes, false));
    EXPECT_FALSE(Read(built.bytes, true));
    EXPECT_EQ(errorText, "Tile 3 lies before the end of the tile tables");
}

INSTANTIATE_TEST_SUITE_P(Versions, ReaderTest, ::testing::Values(3, 4),
                         [](const ::testing::TestParamInfo<int>& p) { return "v" + std::to_string(p.param); });

}  // namespace

namespace {

// The level table's copyright may be as long as any text the format allows.
TEST(ReaderV4Test, LongestTextIsAcceptedOneMoreIsNot) {
    fixture::TempDir dir;
    for (const std::size_t length : {std::size_t(32766), std::size_t(32767)}) {
        JnxRecipe recipe = fixture::SimpleRecipe(4, 1, 1);
        recipe.levels[0].tableCopyright = std::string(length, 'c');
        recipe.levels[0].tableCopyrightSet = true;
        fixture::WriteBytes(dir.file("a.jnx"), BuildJnx(recipe).bytes);
        JnxDocument doc;
        std::int32_t total = 0;
        std::string error;
        EXPECT_EQ(jnx::ReadJnx(doc, dir.file("a.jnx"), total, error, true), length == 32766) << length;
        if (length == 32767) {
            EXPECT_NE(error.find("32767"), std::string::npos) << error;
        }
    }
}

}  // namespace
