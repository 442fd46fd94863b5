#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "jnx/codec.h"
#include "jnx/regenerate.h"
#include "support/edit_support.h"
#include "support/jnx_builder.h"

namespace {

using fixture::Bytes;
using fixture::JnxRecipe;
using platform::ErrorCode;

bool Read(jnx::JnxDocument& doc, const std::string& path, std::string& error) {
    std::int32_t total = 0;
    return jnx::ReadJnx(doc, path, total, error, true);
}

// The request resolved for doc, written to dst.
bool Regenerate(jnx::JnxDocument& doc, const edit::EditorValues& request, const std::string& src,
                const std::string& dst, platform::Error& error, jnx::WriterSettings settings = {}) {
    const edit::ResolvedEdit resolved = fixture::Resolve(request, doc, edit::Purpose::Save, settings);
    return jnx::RegenerateJnx(doc, resolved.values, resolved.version, src, dst, settings, error);
}

Bytes TileBytes(const Bytes& file, const jnx::JnxTile& tile) {
    return Bytes(file.begin() + tile.DataOffset, file.begin() + tile.DataOffset + tile.DataSize);
}

// Every tile of the new file holds the bytes of the same tile in the source.
void ExpectSameTiles(const std::string& sourcePath, const std::string& newPath) {
    jnx::JnxDocument source, copy;
    std::string error;
    ASSERT_TRUE(Read(source, sourcePath, error)) << error;
    ASSERT_TRUE(Read(copy, newPath, error)) << error;
    const Bytes a = fixture::ReadBytes(sourcePath), b = fixture::ReadBytes(newPath);
    ASSERT_EQ(source.Tiles.size(), copy.Tiles.size());
    for (std::size_t t = 0; t < source.Tiles.size(); ++t)
        ASSERT_EQ(TileBytes(a, source.Tiles[t]), TileBytes(b, copy.Tiles[t])) << "tile " << t;
    EXPECT_EQ(source.Signature, copy.Signature);
}

struct Variant {
    const char* name;
    int from;
    int to;
    bool withMapBlock;
    int gap;
    bool signature;
};

class RegenerateTest : public ::testing::TestWithParam<Variant> {};

TEST_P(RegenerateTest, NewFileReadsBackWithTheSourceTiles) {
    const Variant v = GetParam();
    fixture::TempDir dir;
    JnxRecipe recipe = fixture::SimpleRecipe(v.from, 3, 3);
    recipe.withMapBlock = v.withMapBlock;
    recipe.gap = v.gap;
    if (v.signature) recipe.signature = {'S', 'I', 'G', 0, 1, 2, 3};
    if (v.from == 4) recipe.levels[1].extra = 7;  // other producers write other values
    const auto built = fixture::BuildJnx(recipe);
    const std::string src = dir.file("MAP.jnx"), dst = dir.file("MAP_new.jnx");
    fixture::WriteBytes(src, built.bytes);

    jnx::JnxDocument doc = fixture::ReadFull(src);
    edit::EditorValues request;
    request.cboActualizar = v.to;
    request.txtDrawOrder = "31";
    request.txtProductID = "-12";
    request.txtFamiliGroup = "New group";
    request.cboNivel[1] = 2000;
    request.chkSplitOPriority[1] = true;
    platform::Error writeError;
    ASSERT_TRUE(Regenerate(doc, request, src, dst, writeError)) << platform::ErrorText(writeError);
    std::string error;

    EXPECT_EQ(fixture::ReadBytes(src), built.bytes);
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"MAP.jnx", "MAP_new.jnx"}));
    ExpectSameTiles(src, dst);

    jnx::JnxDocument back;
    ASSERT_TRUE(Read(back, dst, error)) << error;
    EXPECT_EQ(back.Header.Version, v.to);
    EXPECT_EQ(back.Header.ProductId, -12);
    EXPECT_EQ(back.Header.DrawOrder, v.to == 4 ? 31 : 25);
    EXPECT_FALSE(back.NeedsRegeneration);
    EXPECT_EQ(back.Levels[1].Scale, 1999);
    EXPECT_EQ(back.Levels[0].Scale, 76437);  // no choice: the stored scale
    EXPECT_EQ(jnx::DecodeText(back.MapInfo.GroupName, true), "New group");
    const std::int64_t tableStart = back.BlockStart + 1024;
    EXPECT_EQ(back.Levels[0].TableOffset, tableStart);
    EXPECT_EQ(back.Tiles[0].DataOffset, tableStart + 28 * 9 + std::int64_t(recipe.signature.size()));
    // The document now holds the new file's offsets but still the source's version.
    EXPECT_EQ(doc.Header.Version, v.from);
    EXPECT_EQ(doc.Levels[0].TableOffset, back.Levels[0].TableOffset);
    EXPECT_EQ(doc.Tiles.back().DataOffset, back.Tiles.back().DataOffset);
    if (!v.withMapBlock) {
        EXPECT_EQ(jnx::DecodeText(back.MapInfo.MapTitle, true), "You map title");
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Directions, RegenerateTest, ::testing::Values(
    Variant{"v3_to_v3", 3, 3, true, -1, false},
    Variant{"v3_to_v4", 3, 4, true, -1, false},
    Variant{"v4_to_v3", 4, 3, true, -1, false},
    Variant{"v4_to_v4", 4, 4, true, -1, false},
    Variant{"v3_no_block", 3, 3, false, 40, false},
    Variant{"v4_no_block", 4, 4, false, 12, true},
    Variant{"v4_no_block_to_v3", 4, 3, false, 0, false},
    Variant{"v4_gap_1500", 4, 4, true, 1500, true},
    Variant{"v3_gap_5_to_v4", 3, 4, true, 5, true}),
    [](const auto& p) { return std::string(p.param.name); });
// clang-format on

class BlockSizeTest : public ::testing::TestWithParam<int> {};

// Data (tile images plus trailer) of 2500, 2000 and 500 bytes copied in pieces of 1000.
TEST_P(BlockSizeTest, CopiesWholeBlocksAndTheRest) {
    fixture::TempDir dir;
    JnxRecipe recipe = fixture::SimpleRecipe(4, 1, 0);
    fixture::TileRecipe tile;
    tile.data = fixture::MakeTileData(3, std::size_t(GetParam() - 8));
    recipe.levels[0].tiles.push_back(tile);
    recipe.gap = 100;
    const auto built = fixture::BuildJnx(recipe);
    const std::string src = dir.file("A.jnx"), dst = dir.file("A_new.jnx");
    fixture::WriteBytes(src, built.bytes);
    jnx::JnxDocument doc = fixture::ReadFull(src);
    ASSERT_EQ(built.bytes.size() - std::size_t(doc.jpgOffset[0]), std::size_t(GetParam()));
    platform::Error error;
    ASSERT_TRUE(Regenerate(doc, {}, src, dst, error, {1, 1000})) << platform::ErrorText(error);
    ExpectSameTiles(src, dst);
    const Bytes out = fixture::ReadBytes(dst);
    EXPECT_TRUE(std::equal(built.bytes.end() - GetParam(), built.bytes.end(), out.end() - GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Sizes, BlockSizeTest, ::testing::Values(2500, 2000, 500));

struct Fixture {
    fixture::TempDir dir;
    fixture::BuiltJnx built;
    std::string src, dst;
    jnx::JnxDocument doc;

    explicit Fixture(int version) {
        JnxRecipe recipe = fixture::SimpleRecipe(version, 2, 3);
        recipe.gap = 700;
        built = fixture::BuildJnx(recipe);
        src = dir.file("MAP.jnx");
        dst = dir.file("MAP_new.jnx");
        fixture::WriteBytes(src, built.bytes);
        doc = fixture::ReadFull(src);
    }
};

class RegenerateFailureTest : public ::testing::TestWithParam<int> {};

TEST_P(RegenerateFailureTest, FailedChecksLeaveNothingAndKeepAnOlderOutput) {
    for (int which = 0; which < 2; ++which) {
        Fixture f(GetParam());
        const Bytes older{'o', 'l', 'd'};
        fixture::WriteBytes(f.dst, older);
        if (which == 0)
            f.doc.CheckPointsTiles[1].Value += 1;
        else
            f.doc.CheckPointsImages.back().Value += 1;
        edit::EditorValues request;
        request.cboActualizar = 7 - GetParam();
        platform::Error error;
        EXPECT_FALSE(Regenerate(f.doc, request, f.src, f.dst, error));
        EXPECT_EQ(error.code, which == 0 ? ErrorCode::RegeneratedTables : ErrorCode::RegeneratedImages);
        EXPECT_EQ(fixture::ReadBytes(f.src), f.built.bytes);
        EXPECT_EQ(fixture::ReadBytes(f.dst), older);
        EXPECT_EQ(f.dir.list(), (std::vector<std::string>{"MAP.jnx", "MAP_new.jnx"}));
    }
}

TEST_P(RegenerateFailureTest, SourceChangedSinceTheReadIsRefused) {
    Fixture f(GetParam());
    fixture::WriteBytes(f.src, Bytes(f.built.bytes.begin(), f.built.bytes.begin() + 1200));
    platform::Error error;
    EXPECT_FALSE(Regenerate(f.doc, {}, f.src, f.dst, error));
    EXPECT_TRUE(error);  // the length no longer matches, or a check point fails
    EXPECT_EQ(f.dir.list(), std::vector<std::string>{"MAP.jnx"});
}

// The source replaced by its rewrite (the batch's "delete old files"): one rename, so
// the name always holds a whole file, and nothing else is left in the folder.
TEST_P(RegenerateFailureTest, ReplacingTheSourceLeavesOneFileUnderItsName) {
    Fixture f(GetParam());
    edit::EditorValues request;
    request.cboActualizar = 7 - GetParam();
    request.chkRemoveOld = true;
    const edit::ResolvedEdit resolved = fixture::Resolve(request, f.doc);
    ASSERT_EQ(resolved.outputPath, f.src);
    platform::Error error;
    ASSERT_TRUE(jnx::RegenerateJnx(f.doc, resolved.values, resolved.version, f.src, resolved.outputPath, {}, error))
        << platform::ErrorText(error);
    EXPECT_EQ(f.dir.list(), std::vector<std::string>{"MAP.jnx"});
    EXPECT_EQ(fixture::ReadFull(f.src).Header.Version, 7 - GetParam());
}

INSTANTIATE_TEST_SUITE_P(Versions, RegenerateFailureTest, ::testing::Values(3, 4),
                         [](const auto& p) { return "v" + std::to_string(p.param); });

}  // namespace
