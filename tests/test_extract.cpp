#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "compose/extract.h"
#include "jnx/codec.h"
#include "jnx/reader.h"
#include "platform/le.h"
#include "support/edit_support.h"
#include "support/jnx_builder.h"

namespace {

using fixture::Bytes;
using fixture::JnxRecipe;
using platform::ErrorCode;

Bytes TileBytes(const Bytes& file, const jnx::JnxTile& tile) {
    return Bytes(file.begin() + tile.DataOffset, file.begin() + tile.DataOffset + tile.DataSize);
}

struct Source {
    fixture::TempDir dir;
    fixture::BuiltJnx built;
    std::string path;
    jnx::JnxDocument doc;

    explicit Source(const JnxRecipe& recipe) {
        built = fixture::BuildJnx(recipe);
        path = dir.file("MAP.jnx");
        fixture::WriteBytes(path, built.bytes);
        doc = fixture::ReadFull(path);
    }

    // The request resolved for a split, and the level extracted to out.
    bool Extract(const edit::EditorValues& request, const std::string& out, int level, platform::Error& error,
                 jnx::WriterSettings settings = {}) {
        const edit::ResolvedEdit resolved = fixture::Resolve(request, doc, edit::Purpose::Split, settings);
        return compose::ExtractLevel(doc, resolved.values, resolved.version, path, out, level, settings, error);
    }
};

// The extracted file holds exactly the tiles of that level, byte for byte, in order.
void ExpectLevelTiles(const Source& s, std::size_t level, const std::string& out) {
    const jnx::JnxDocument source = fixture::ReadFull(s.path), part = fixture::ReadFull(out);
    const Bytes a = fixture::ReadBytes(s.path), b = fixture::ReadBytes(out);
    const std::size_t first = source.FirstTileOf(level - 1);
    ASSERT_EQ(part.Tiles.size(), std::size_t(source.Levels[level - 1].TileCount));
    for (std::size_t t = 0; t < part.Tiles.size(); ++t) {
        EXPECT_EQ(TileBytes(b, part.Tiles[t]), TileBytes(a, source.Tiles[first + t])) << t;
        EXPECT_EQ(part.Tiles[t].TileBounds, source.Tiles[first + t].TileBounds) << t;
    }
}

TEST(ExtractLevel, SecondLevelOfAThreeLevelV3File) {
    Source s(fixture::SimpleRecipe(3, 3, 4));
    const std::string out = s.dir.file("MAP_Level2.jnx");
    platform::Error error;
    ASSERT_TRUE(s.Extract({}, out, 2, error)) << platform::ErrorText(error);
    const Bytes b = fixture::ReadBytes(out);
    // clang-format off
    EXPECT_EQ(platform::LoadI32(&b[0]), 3);       // Version
    EXPECT_EQ(platform::LoadI32(&b[24]), 1);      // LevelCount
    EXPECT_EQ(platform::LoadI32(&b[48]), 4);      // TileCount of the one entry
    EXPECT_EQ(platform::LoadI32(&b[52]), 1084);   // TableOffset
    EXPECT_EQ(platform::LoadI32(&b[60]), 9);      // BlockVersion at the block start
    EXPECT_EQ(platform::LoadI32(&b[1084 + 24]), 1084 + 4 * 28);  // first image right after the table
    // clang-format on
    EXPECT_EQ(std::string(b.end() - 8, b.end()), "BirdsEye");
    ExpectLevelTiles(s, 2, out);
    EXPECT_EQ(s.doc.Header.LevelCount, 1);
    EXPECT_EQ(s.doc.Header.Version, 3);
    EXPECT_EQ(fixture::ReadBytes(s.path), s.built.bytes);
}

TEST(ExtractLevel, VersionChangesBothWays) {
    for (int from : {3, 4}) {
        Source s(fixture::SimpleRecipe(from, 3, 2));
        const int to = 7 - from;
        const std::string out = s.dir.file("part.jnx");
        edit::EditorValues request;
        request.cboActualizar = to;
        request.txtProductID = "32767";
        request.txtFamiliGroup = "Split group";
        request.cboNivel[2] = 600;
        request.chkSplitOPriority[2] = true;  // marks the level to split; the scale stays as chosen
        platform::Error error;
        ASSERT_TRUE(s.Extract(request, out, 3, error)) << platform::ErrorText(error);
        const jnx::JnxDocument part = fixture::ReadFull(out);
        EXPECT_EQ(part.Header.Version, to);
        EXPECT_EQ(part.Header.ProductId, 32767);
        EXPECT_EQ(part.Levels[0].Scale, 600);
        EXPECT_EQ(jnx::DecodeText(part.MapInfo.GroupName, true), "Split group");
        const std::int64_t entryEnd = to == 4 ? 52 + 12 + 4 + std::int64_t(s.doc.LevelInfos[2].Copyright.size()) : 60;
        EXPECT_EQ(part.Levels[0].TableOffset, entryEnd + 1024);
        ExpectLevelTiles(s, 3, out);
        EXPECT_EQ(s.doc.Header.Version, from);  // the only header field put back
    }
}

TEST(ExtractLevel, EveryLevelOneAfterAnother) {
    Source s(fixture::SimpleRecipe(4, 4, 3));
    const std::size_t levels = s.doc.Levels.size();
    for (std::size_t level = 1; level <= levels; ++level) {
        const std::string out = s.dir.file("L" + std::to_string(level) + ".jnx");
        platform::Error error;
        ASSERT_TRUE(s.Extract({}, out, int(level), error)) << platform::ErrorText(error);
        ExpectLevelTiles(s, level, out);
    }
}

TEST(ExtractLevel, TinyTilesCompareOnlyTheirOwnBytes) {
    JnxRecipe recipe = fixture::SimpleRecipe(4, 1, 2);
    for (std::size_t n : {1, 2, 3}) {
        fixture::TileRecipe tile;
        tile.data = Bytes(n, std::uint8_t(0x40 + n));
        recipe.levels[0].tiles.push_back(tile);
    }
    Source s(recipe);
    const std::string out = s.dir.file("tiny.jnx");
    platform::Error error;
    ASSERT_TRUE(s.Extract({}, out, 1, error)) << platform::ErrorText(error);
    ExpectLevelTiles(s, 1, out);
}

TEST(ExtractLevel, FailuresLeaveNoFileAndKeepAnOlderOne) {
    JnxRecipe recipe = fixture::SimpleRecipe(3, 3, 2);
    recipe.levels[1].tiles.clear();
    Source s(recipe);
    const std::string out = s.dir.file("MAP_Level1.jnx");
    const Bytes older{'k', 'e', 'e', 'p'};
    fixture::WriteBytes(out, older);

    struct Case {
        const char* what;
        edit::EditorValues request;
        int level;
        ErrorCode code;
    };
    std::vector<Case> cases = {{"level without tiles", {}, 2, ErrorCode::LevelWithoutTiles},
                               {"block too long", {}, 1, ErrorCode::MapBlockOverflow},
                               {"no such level", {}, 4, ErrorCode::NoSuchLevel}};
    cases[1].request.txtFamiliGroup = std::string(990, 'x');
    for (auto& c : cases) {
        platform::Error error;
        EXPECT_FALSE(s.Extract(c.request, out, c.level, error)) << c.what;
        EXPECT_EQ(error.code, c.code) << c.what;
        EXPECT_EQ(fixture::ReadBytes(out), older) << c.what;
        EXPECT_EQ(s.dir.list(), (std::vector<std::string>{"MAP.jnx", "MAP_Level1.jnx"})) << c.what;
    }

    // The source's images were rewritten after the read (same length): what would be
    // copied no longer matches the tables that were read, so nothing is published.
    Bytes rewritten = s.built.bytes;
    const jnx::JnxTile& firstTile = s.doc.Tiles[0];
    for (std::int32_t i = 0; i < firstTile.DataSize; ++i) rewritten[std::size_t(firstTile.DataOffset + i)] ^= 0x5A;
    fixture::WriteBytes(s.path, rewritten);
    platform::Error error;
    EXPECT_FALSE(s.Extract({}, out, 1, error));
    EXPECT_EQ(error.code, ErrorCode::WrittenImagesDiffer);
    EXPECT_EQ(fixture::ReadBytes(out), older);
    EXPECT_EQ(s.dir.list(), (std::vector<std::string>{"MAP.jnx", "MAP_Level1.jnx"}));

    // The source shrank after the read: the copy fails and nothing is published.
    fixture::WriteBytes(s.path, Bytes(s.built.bytes.begin(), s.built.bytes.begin() + 1200));
    EXPECT_FALSE(s.Extract({}, out, 3, error));
    EXPECT_EQ(fixture::ReadBytes(out), older);
    EXPECT_EQ(s.dir.list(), (std::vector<std::string>{"MAP.jnx", "MAP_Level1.jnx"}));
}

TEST(LevelFilePath, FolderRules) {
    fixture::TempDir dir;
    const std::string src = dir.file("MAP.jnx");
    std::array<std::string, 5> dirs{"", "$current\\LEVELS", "/proc/no-such-drive/x", " ", dir.path() + "/a/b/c"};
    EXPECT_EQ(compose::LevelFilePath(src, 1, dirs), dir.file("MAP_Level1.jnx"));
    EXPECT_EQ(compose::LevelFilePath(src, 2, dirs), dir.file("LEVELS/MAP_Level2.jnx"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("LEVELS")));
    EXPECT_EQ(compose::LevelFilePath(src, 3, dirs), dir.file("MAP_Level3.jnx"));
    EXPECT_EQ(compose::LevelFilePath(src, 4, dirs), dir.file("MAP_Level4.jnx"));
    EXPECT_EQ(compose::LevelFilePath(src, 5, dirs), dir.file("a/b/c/MAP_Level5.jnx"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("a/b/c")));
    // The folder text is kept as written apart from the token.
    dirs[1] = "$CURRENT/Mixed Case";
    EXPECT_EQ(compose::LevelFilePath(src, 2, dirs), dir.file("Mixed Case/MAP_Level2.jnx"));
}

}  // namespace
