// Regeneration: a new front part for the version chosen, the images copied after it; the
// new file must read back with the source's tiles, and a failed check publishes nothing.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "compose/extract.h"
#include "jnx/codec.h"
#include "jnx/regenerate.h"
#include "support/writer_support.h"

namespace {

using fixture::Bytes;
using fixture::JnxRecipe;
using platform::ErrorCode;
using Files = std::vector<std::string>;

// The request resolved for the loaded file and written beside it as MAP_new.jnx.
bool Regenerate(fixture::Loaded& s, const edit::EditRequest& request, platform::Error& error,
                jnx::WriterSettings settings = {}) {
    const edit::ResolvedEdit resolved = fixture::Resolve(request, s.doc, edit::Purpose::Save, settings);
    settings.overwrite = true;  // some cases write over an older output
    return jnx::RegenerateJnx(s.doc, resolved.values, resolved.version, s.path, s.dir.file("MAP_new.jnx"), settings,
                              error);
}

struct Variant { const char* name; int from, to; bool withMapBlock; int gap; bool signature; };

class RegenerateTest : public ::testing::TestWithParam<Variant> {};

TEST_P(RegenerateTest, NewFileReadsBackWithTheSourceTiles) {
    const Variant v = GetParam();
    JnxRecipe recipe = fixture::SimpleRecipe(v.from, 3, 3);
    recipe.withMapBlock = v.withMapBlock, recipe.gap = v.gap;
    if (v.signature) recipe.signature = {'S', 'I', 'G', 0, 1, 2, 3};
    if (v.from == 4) recipe.levels[1].extra = 7;  // other producers write other values
    fixture::Loaded s(recipe);
    edit::EditRequest request;
    request.targetVersion = v.to;
    request.drawOrder = 31, request.productId = -12, request.groupName = "New group";
    request.levels[1].scale = 2000, request.levels[1].priority = true;
    platform::Error error;
    ASSERT_TRUE(Regenerate(s, request, error)) << platform::ErrorText(error);

    const std::string dst = s.dir.file("MAP_new.jnx");
    EXPECT_EQ(fixture::ReadBytes(s.path), s.built.bytes);
    EXPECT_EQ(s.dir.list(), (Files{"MAP.jnx", "MAP_new.jnx"}));
    EXPECT_EQ(fixture::TilesIn(dst), fixture::TilesIn(s.path));
    const jnx::JnxDocument back = fixture::ReadFull(dst);
    EXPECT_EQ(back.Signature, recipe.signature);
    EXPECT_EQ(std::tuple(back.Header.Version, back.Header.ProductId, back.Header.DrawOrder, back.Levels[1].Scale,
                         back.NeedsRegeneration, jnx::DecodeText(back.MapInfo.GroupName, true)),
              std::tuple(v.to, -12, v.to == 4 ? 31 : 25, 1999, false, std::string("New group")));
    // The tables right after the block, the images right after the tables and the signature.
    const std::int64_t tableStart = back.BlockStart + 1024;
    EXPECT_EQ(std::pair(std::int64_t(back.Levels[0].TableOffset), std::int64_t(back.Tiles[0].DataOffset)),
              std::pair(tableStart, tableStart + 28 * 9 + std::int64_t(recipe.signature.size())));
    // The document now holds the new file's offsets but still the source's version.
    EXPECT_EQ(std::tuple(s.doc.Header.Version, s.doc.Levels[0].TableOffset, s.doc.Tiles.back().DataOffset),
              std::tuple(v.from, back.Levels[0].TableOffset, back.Tiles.back().DataOffset));
    if (!v.withMapBlock) { EXPECT_EQ(jnx::DecodeText(back.MapInfo.MapTitle, true), "You map title"); }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Directions, RegenerateTest, ::testing::Values(
    Variant{"v4_to_v3", 4, 3, true, -1, false},
    Variant{"v4_no_block", 4, 4, false, 12, true},
    Variant{"v3_gap_5_to_v4", 3, 4, true, 5, true}),
    [](const auto& p) { return std::string(p.param.name); });
// clang-format on

class BlockSizeTest : public ::testing::TestWithParam<int> {};

// Data (tile images plus trailer) of 2500, 2000 and 500 bytes copied in pieces of 1000.
TEST_P(BlockSizeTest, CopiesWholeBlocksAndTheRest) {
    JnxRecipe recipe = fixture::SimpleRecipe(4, 1, 0);
    recipe.levels[0].tiles.push_back({fixture::MakeTileData(3, std::size_t(GetParam() - 8))});
    recipe.gap = 100;
    fixture::Loaded s(recipe);
    ASSERT_EQ(s.built.bytes.size() - std::size_t(s.doc.jpgOffset[0]), std::size_t(GetParam()));
    platform::Error error;
    ASSERT_TRUE(Regenerate(s, {}, error, {1000})) << platform::ErrorText(error);
    const Bytes out = fixture::ReadBytes(s.dir.file("MAP_new.jnx"));
    EXPECT_TRUE(std::equal(s.built.bytes.end() - GetParam(), s.built.bytes.end(), out.end() - GetParam()));
    EXPECT_EQ(fixture::TilesIn(s.dir.file("MAP_new.jnx")), fixture::TilesIn(s.path));
}

INSTANTIATE_TEST_SUITE_P(Sizes, BlockSizeTest, ::testing::Values(2500, 2000, 500));

// Asks to stop once the copy has reported `chunks` pieces.
struct CancelAfter : jnx::BusyObserver {
    int chunks;
    std::vector<std::int64_t> seen;
    explicit CancelAfter(int n) : chunks(n) {}
    void Progress(std::int64_t done, std::int64_t total) override {
        EXPECT_LE(done, total);
        seen.push_back(done);
    }
    bool CancelRequested() const override { return int(seen.size()) >= chunks; }
};

// A cancel after the first piece of the copy, or after a few, leaves the folder as it
// was: the source whole, no temporary.
TEST(CancelledWriters, LeaveTheFolderAsItWas) {
    JnxRecipe recipe = fixture::SimpleRecipe(4, 2, 0);
    recipe.levels[0].tiles.push_back({fixture::MakeTileData(3, 4000)});
    recipe.levels[1].tiles.push_back({fixture::MakeTileData(4, 3000)});
    const jnx::WriterSettings smallPieces{1000};
    for (const bool extract : {false, true})
        for (const int chunks : {1, 3}) {
            fixture::Loaded s(recipe);
            const edit::ResolvedEdit resolved = fixture::Resolve({}, s.doc, edit::Purpose::Save, smallPieces);
            CancelAfter observer(chunks);
            platform::Error error;
            const bool ok = extract ? compose::ExtractLevel(s.doc, resolved.values, resolved.version, s.path,
                                                            s.dir.file("MAP_Level1.jnx"), 1, smallPieces, error,
                                                            &observer)
                                    : jnx::RegenerateJnx(s.doc, resolved.values, resolved.version, s.path,
                                                         s.dir.file("MAP_new.jnx"), smallPieces, error, &observer);
            const std::string what = std::string(extract ? "extract" : "regenerate") + " after " +
                                     std::to_string(chunks);
            EXPECT_EQ(ok ? ErrorCode::None : error.code, ErrorCode::Cancelled) << what;
            EXPECT_EQ(s.dir.list(), Files{"MAP.jnx"}) << what;
            EXPECT_EQ(fixture::ReadBytes(s.path), s.built.bytes) << what;
            // Pieces of the block size, each one reported.
            std::vector<std::int64_t> pieces;
            for (int i = 1; i <= chunks; ++i) pieces.push_back(1000 * i);
            EXPECT_EQ(observer.seen, pieces) << what;
        }
}

// Each failure runs on a fresh source of the version given, converted to the other one.
class RegenerateFailureTest : public ::testing::TestWithParam<int> {
protected:
    fixture::Loaded s{[] { JnxRecipe r = fixture::SimpleRecipe(GetParam(), 2, 3); r.gap = 700; return r; }()};
    edit::EditRequest request = [] { edit::EditRequest v; v.targetVersion = 7 - GetParam(); return v; }();
};

// The document disagreeing with its source at a tile table or an image, or a source cut
// short since the read: nothing is published and an older output stays.
TEST_P(RegenerateFailureTest, FailedChecksKeepTheFolderWithAnOlderOutput) {
    fixture::WriteBytes(s.dir.file("MAP_new.jnx"), Bytes{'o', 'l', 'd'});
    const jnx::JnxDocument read = s.doc;
    for (const int spoilt : {0, 1, 2}) {
        s.doc = read;
        if (spoilt < 2) (spoilt == 0 ? s.doc.CheckPointsTiles[1] : s.doc.CheckPointsImages.back()).Value += 1;
        else fixture::WriteBytes(s.path, Bytes(s.built.bytes.begin(), s.built.bytes.begin() + 1200));
        const fixture::Snapshot before = fixture::TakeSnapshot(s.dir.path());
        platform::Error error;
        EXPECT_FALSE(Regenerate(s, request, error)) << spoilt;
        EXPECT_TRUE(spoilt == 2 ? bool(error) : error.code == ErrorCode::FileChanged) << platform::ErrorText(error);
        EXPECT_EQ(fixture::TakeSnapshot(s.dir.path()), before) << spoilt;
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, RegenerateFailureTest, ::testing::Values(3, 4),
                         [](const auto& p) { return "v" + std::to_string(p.param); });

}  // namespace
