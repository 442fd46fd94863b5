#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>

#include "jnx/codec.h"
#include "jnx/reader.h"
#include "platform/le.h"
#include "support/jnx_builder.h"

namespace {

using fixture::BuildJnx;
using fixture::BuiltJnx;
using fixture::Bytes;
using fixture::JnxRecipe;
using C = platform::ErrorCode;

jnx::Bytes Z(const std::string& text) { jnx::Bytes out(text.begin(), text.end()); out.push_back(0); return out; }

// A level entry's TileCount and TableOffset lie 8 and 4 bytes before its Scale; a tile
// entry's DataSize and DataOffset at 20 and 24 (tiles numbered from 0 over all levels).
std::int64_t TileCountField(const BuiltJnx& b, std::size_t level) { return b.scalePositions[level] - 8; }
std::int64_t TableOffsetField(const BuiltJnx& b, std::size_t level) { return b.scalePositions[level] - 4; }
std::int64_t DataSizeField(const BuiltJnx& b, std::size_t tile) {
    return b.firstTableOffset + std::int64_t(tile) * jnx::kTileEntrySize + 20;
}
std::int64_t DataOffsetField(const BuiltJnx& b, std::size_t tile) { return DataSizeField(b, tile) + 4; }
void Put(Bytes& b, std::int64_t pos, std::int64_t value) { platform::StoreI32(b.data() + pos, std::int32_t(value)); }

struct CountingObserver : jnx::BusyObserver {
    void Begin() override { ++begins; }
    void End() override { ++ends; }
    int begins = 0, ends = 0;
};

class ReaderTest : public ::testing::TestWithParam<int> {
protected:
    int version() const { return GetParam(); }

    // Writes the bytes (made longer, with a hole, when extendTo says so) and reads them.
    bool Read(const Bytes& bytes, bool readTiles = true, std::int64_t extendTo = 0) {
        fixture::WriteBytes(path_, bytes);
        if (extendTo > 0) std::filesystem::resize_file(path_, std::uintmax_t(extendTo));
        totalTiles = -1;
        error = {};
        return jnx::ReadJnx(doc, path_, totalTiles, error, readTiles ? jnx::ReadDepth::Full : jnx::ReadDepth::Quick,
                            &observer);
    }
    bool Read(const JnxRecipe& r, bool readTiles = true) { built = BuildJnx(r); return Read(built.bytes, readTiles); }

    fixture::TempDir dir_;
    std::string path_ = dir_.file("map.jnx");
    jnx::JnxDocument doc;
    BuiltJnx built;
    platform::Error error;
    std::int32_t totalTiles = -1;
    CountingObserver observer;
};

TEST_P(ReaderTest, FullReadFillsTheModel) {
    JnxRecipe recipe = fixture::SimpleRecipe(version(), 3, 5);
    recipe.levels[1].extra = 7;  // rebuilt as 2 whatever the file holds
    ASSERT_TRUE(Read(recipe)) << platform::ErrorText(error);
    EXPECT_EQ(
        std::tuple(error.code, totalTiles, observer.begins, observer.ends, doc.Header.DrawOrder, doc.NeedsRegeneration),
        std::tuple(C::None, 15, 1, 1, version() == 4 ? 30 : 25, false));
    ASSERT_TRUE(doc.Levels.size() == 3 && doc.LevelInfos.size() == 3 && doc.LevelExtras.size() == 3);
    EXPECT_EQ(std::tuple(std::int64_t(doc.Levels[2].TableOffset), doc.Levels[2].Scale, doc.LevelInfos[2].Zoom,
                         doc.LevelExtras[1].Extra, doc.CheckPointsTiles[1].Value),
              std::tuple(built.tableOffsets[2], recipe.levels[2].scale, 3, 2,
                         platform::LoadI32(built.bytes.data() + built.tableOffsets[1])));
    ASSERT_EQ(doc.Tiles.size(), 15u);
    for (const std::size_t t : {0u, 14u})
        EXPECT_EQ(std::tuple(std::int64_t(doc.Tiles[t].DataOffset), doc.Tiles[t].TileBounds),
                  std::tuple(built.dataOffsets[t], recipe.levels[t / 5].tiles[t % 5].bounds));

    // The next read replaces the whole model.
    ASSERT_TRUE(Read(fixture::SimpleRecipe(version(), 1, 2)));
    EXPECT_TRUE(doc.Levels.size() == 1 && doc.Tiles.size() == 2 && doc.Previews.size() == 1 &&
                doc.CheckPointsImages.size() == 2);
}

TEST_P(ReaderTest, PreviewIsTheMiddleTileOfEachLevel) {
    JnxRecipe recipe = fixture::SimpleRecipe(version(), 5, 0);
    const int counts[] = {1, 12, 13, 0, 100};
    const int chosen[] = {1, 1, 4, 0, 25};
    int seed = 500;
    for (std::size_t i = 0; i < 5; ++i)
        for (int j = 0; j < counts[i]; ++j) recipe.levels[i].tiles.push_back({fixture::MakeTileData(seed++, 16)});
    ASSERT_TRUE(Read(recipe)) << platform::ErrorText(error);
    ASSERT_EQ(doc.Previews.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        const jnx::Bytes expected =
            chosen[i] > 0 ? fixture::WithSoi(recipe.levels[i].tiles[std::size_t(chosen[i] - 1)].data) : jnx::Bytes{};
        EXPECT_EQ(doc.Previews[i], expected) << "level " << i + 1;
    }
}

TEST_P(ReaderTest, GapOtherThanTheBlockSpanShiftsOffsets) {
    JnxRecipe recipe = fixture::SimpleRecipe(version(), 2, 2);
    ASSERT_TRUE(Read(recipe));
    const std::int64_t length = jnx::MapBlockLength(doc.MapInfo, doc.LevelInfos);
    for (const int delta : {-1, +1, +300}) {
        recipe.gap = int(1024 - length + delta);
        ASSERT_TRUE(Read(recipe)) << platform::ErrorText(error);
        EXPECT_EQ(std::tuple(doc.OffsetShift, doc.NeedsRegeneration, doc.Padding),
                  std::tuple(-delta, true, jnx::Bytes(std::size_t(1024 - length), 0)));
    }
    // A gap holding something other than zeros is kept as read when the span is right.
    recipe.gap = int(1024 - length), built = BuildJnx(recipe);
    built.bytes[std::size_t(built.firstTableOffset - 1)] = 0x5A;
    ASSERT_TRUE(Read(built.bytes));
    EXPECT_FALSE(doc.NeedsRegeneration);
    ASSERT_FALSE(doc.Padding.empty());
    EXPECT_EQ(doc.Padding.back(), 0x5A);
}

TEST_P(ReaderTest, FileWithoutMapBlockGetsTheDefaultBlock) {
    JnxRecipe recipe = fixture::SimpleRecipe(version(), 2, 3);
    recipe.withMapBlock = false;
    for (const int gap : {0, 1024}) {  // even 1024 bytes cannot be patched: there is no block to patch
        recipe.gap = gap;
        ASSERT_TRUE(Read(recipe)) << platform::ErrorText(error);
        EXPECT_EQ(std::tuple(doc.NeedsRegeneration, doc.OffsetShift), std::tuple(true, 1024 - gap));
    }
    const std::string guid = jnx::DecodeText(doc.MapInfo.MapGuid, true);
    EXPECT_EQ(std::int64_t(doc.Padding.size()), 1024 - jnx::MapBlockLength(doc.MapInfo, doc.LevelInfos));

    // A quick read stops after the block, whatever follows, and makes a fresh identifier.
    recipe.trailer = {'n', 'o', 'p', 'e'};
    ASSERT_TRUE(Read(recipe, false)) << platform::ErrorText(error);
    EXPECT_EQ(totalTiles, 6);
    EXPECT_EQ(doc.LevelExtras[1].Copyright, Z("Copyright"));
    EXPECT_TRUE(doc.Tiles.empty() && doc.Previews.empty() && doc.CheckPointsImages.empty());
    EXPECT_NE(jnx::DecodeText(doc.MapInfo.MapGuid, true), guid);
}

TEST_P(ReaderTest, MissingLastZoomBecomes255AndCountsInTheBlockLength) {
    JnxRecipe recipe = fixture::SimpleRecipe(version(), 2, 2);
    recipe.lastZoomMissing = true, recipe.gap = 0;
    ASSERT_TRUE(Read(recipe)) << platform::ErrorText(error);
    EXPECT_EQ(std::pair(doc.LevelInfos[0].Zoom, doc.LevelInfos[1].Zoom), std::pair(1, 255));
    const std::int64_t length = jnx::MapBlockLength(doc.MapInfo, doc.LevelInfos);  // counts the Zoom
    EXPECT_EQ(std::tuple(std::int64_t(doc.Padding.size()), std::int64_t(doc.OffsetShift), doc.NeedsRegeneration),
              std::tuple(1024 - length, 1024 - (length - 4), true));

    // Such a block that fills the 1024 bytes with its padding was taken to stay as it
    // lies, though written back with the Zoom it is up to 4 bytes longer.
    recipe.mapTitle.clear();
    const BuiltJnx bare = BuildJnx(recipe);
    recipe.gap = -1;  // padded to 1024
    for (const std::int64_t blockLength : {1021, 1022, 1023, 1024}) {
        recipe.mapTitle = std::string(std::size_t(blockLength - (bare.firstTableOffset - bare.blockStart)), 't');
        EXPECT_FALSE(Read(recipe, false)) << blockLength;
        EXPECT_EQ(error.code, C::MapBlockTooLong) << blockLength;
    }
}

TEST_P(ReaderTest, SignatureAndReverseDataOrder) {
    JnxRecipe recipe = fixture::SimpleRecipe(version(), 2, 3);
    recipe.signature = {1, 2, 3, 4, 5, 6, 7};
    ASSERT_TRUE(Read(recipe)) << platform::ErrorText(error);
    EXPECT_EQ(doc.Signature, recipe.signature);

    // Tile 1's data last: everything before it counts as signature, and the trailer
    // follows the tile with the highest offset.
    recipe.signature.clear();
    recipe.reverseDataOrder = true;
    ASSERT_TRUE(Read(recipe)) << platform::ErrorText(error);
    EXPECT_EQ(std::tuple(std::int64_t(doc.Signature.size()), std::int64_t(doc.CheckPointsImages[5].Offset),
                         doc.CheckPointsImages[5].Value),
              std::tuple(built.dataOffsets[0] - built.dataOffsets[5], built.dataOffsets[5],
                         platform::LoadI32(recipe.levels[1].tiles[2].data.data())));
}

TEST_P(ReaderTest, TrailerForms) {
    JnxRecipe recipe = fixture::SimpleRecipe(version(), 1, 2);
    const std::string mark = "BirdsEye";
    Bytes longTrailer(788, 0x33);
    longTrailer.insert(longTrailer.end(), mark.begin(), mark.end());
    Bytes longBad = longTrailer;
    longBad.back() = 'E';
    Bytes longer = longTrailer;
    longer.insert(longer.begin(), 0);
    const std::pair<Bytes, bool> cases[] = {
        {Bytes(mark.begin(), mark.end()), true},
        {Z(mark), true},
        {Z("birdseye"), false},
        {Bytes{'B', 'i', 'r', 'd', 's', 'E', 'y', 'e', 0, 0}, false},
        {Bytes{'B', 'i', 'r', 'd', 's', 'E', 'y'}, false},
        {longTrailer, true},
        {longBad, false},
        {longer, false},
    };
    for (const auto& [trailer, valid] : cases) {
        recipe.trailer = trailer;
        EXPECT_EQ(Read(recipe), valid) << "trailer of " << trailer.size() << " bytes";
        EXPECT_EQ(error.code, valid ? C::None : C::BadTrailer) << "trailer of " << trailer.size() << " bytes";
    }
    recipe.trailer.clear();  // the file ends with the last image
    EXPECT_FALSE(Read(recipe));
    EXPECT_EQ(error.code, C::ReadPastEnd);
}

// The level table's copy of a copyright (version 4) may differ in length from the
// block's, up to the longest text the format allows.
class ReaderV4Test : public ReaderTest {};
INSTANTIATE_TEST_SUITE_P(Version, ReaderV4Test, ::testing::Values(4));

TEST_P(ReaderV4Test, LevelTableCopyrightsOfAnyLengthUpToTheLongest) {
    JnxRecipe recipe = fixture::SimpleRecipe(4, 3, 2);
    for (std::size_t i = 0; i < 3; ++i) recipe.levels[i].tableCopyrightSet = true;
    recipe.levels[1].tableCopyright = std::string(300, 'c');
    recipe.levels[2].tableCopyright = std::string(32766, 'c');
    ASSERT_TRUE(Read(recipe)) << platform::ErrorText(error);
    EXPECT_EQ(doc.Levels[2].TableOffset, built.tableOffsets[2]);
    EXPECT_EQ(doc.LevelExtras[2].Copyright, Z(recipe.levels[2].copyright));

    recipe.levels[2].tableCopyright += 'c';
    EXPECT_FALSE(Read(recipe, false));
    EXPECT_EQ(error.code, C::TextTooLong);
}

// Files of 4 GiB and more are written with a hole, so they take no room.
constexpr std::int64_t kPast4GiB = (std::int64_t(1) << 32) + 4096;

struct Refusal {
    const char* what;
    std::function<void(JnxRecipe&)> change;              // to the recipe, before it is built
    std::function<void(Bytes&, const BuiltJnx&)> patch;  // to the built file
    bool quickReadFails;
    C code;  // of the full read, and of the quick read when it fails
    std::int64_t extendTo = 0;
};

TEST_P(ReaderTest, RefusedFiles) {
    using F = const BuiltJnx&;
    const Refusal refusals[] = {
        {"version 5", nullptr, [](Bytes& b, F) { Put(b, 0, 5); }, true, C::UnsupportedVersion},
        {"tile counts whose sum overflows", nullptr,
         [](Bytes& b, F f) {
             Put(b, TileCountField(f, 0), INT_MAX);
             Put(b, TileCountField(f, 1), INT_MAX);
         },
         true, C::ArithmeticOverflow},
        {"block too long for any padding",
         [](JnxRecipe& r) {
             r.mapTitle = std::string(1100, 't');
             r.gap = 0;
         },
         nullptr, true, C::MapBlockTooLong},
        // Offsets are unsigned: this is a table 2 GiB on, not a negative shift.
        {"first table beyond the end", [](JnxRecipe& r) { r.withMapBlock = false; },
         [](Bytes& b, F f) { Put(b, TableOffsetField(f, 0), INT_MIN); }, true, C::ReadPastEnd},
        {"no tiles", [](JnxRecipe& r) { r.levels = fixture::SimpleRecipe(r.version, 2, 0).levels; }, nullptr, false,
         C::NoTiles},
        {"first tile's data inside the tables", nullptr,
         [](Bytes& b, F f) { Put(b, DataOffsetField(f, 0), f.tableOffsets[1]); }, false, C::BadSignature},
        {"tile without data", nullptr, [](Bytes& b, F f) { Put(b, DataSizeField(f, 4), 0); }, false,
         C::TileWithoutData},
        {"tile ending past the end", nullptr,
         [](Bytes& b, F f) { Put(b, DataSizeField(f, 4), std::int64_t(b.size())); }, false, C::TileOutsideFile},
        {"tile at 4 GiB - 1", nullptr, [](Bytes& b, F f) { Put(b, DataOffsetField(f, 4), -1); }, false,
         C::TileOutsideFile},
        // Found by fuzzing: a tile whose image lay inside the map block passed every check,
        // and a regeneration then wrote the new block over it.
        {"tile data inside the map block", nullptr,
         [](Bytes& b, F f) { Put(b, DataOffsetField(f, 2), f.blockStart + 40); }, false, C::TileInsideTables},
        {"tile data ending past 4 GiB", nullptr, [](Bytes& b, F f) { Put(b, DataOffsetField(f, 2), -10); }, false,
         C::ArithmeticOverflow, kPast4GiB},
        {"second table not after the first", nullptr,
         [](Bytes& b, F f) { Put(b, TableOffsetField(f, 1), f.tableOffsets[1] + 28); }, false, C::TablesMisplaced},
    };
    for (const auto& refusal : refusals) {
        JnxRecipe recipe = fixture::SimpleRecipe(version(), 2, 3);
        if (refusal.change) refusal.change(recipe);
        built = BuildJnx(recipe);
        if (refusal.patch) refusal.patch(built.bytes, built);
        EXPECT_FALSE(Read(built.bytes, true, refusal.extendTo)) << refusal.what;
        EXPECT_EQ(error.code, refusal.code) << refusal.what;
        EXPECT_EQ(Read(built.bytes, false, refusal.extendTo), !refusal.quickReadFails) << refusal.what;
        EXPECT_EQ(error.code, refusal.quickReadFails ? refusal.code : C::None) << refusal.what;
    }
    EXPECT_FALSE(jnx::ReadJnx(doc, dir_.file("absent.jnx"), totalTiles, error, jnx::ReadDepth::Quick, &observer));
    EXPECT_EQ(std::pair(error.code, error.file), std::pair(C::CannotOpen, dir_.file("absent.jnx")));
    EXPECT_EQ(observer.begins, observer.ends);
}

INSTANTIATE_TEST_SUITE_P(Versions, ReaderTest, ::testing::Values(3, 4),
                         [](const ::testing::TestParamInfo<int>& p) { return "v" + std::to_string(p.param); });

}  // namespace
