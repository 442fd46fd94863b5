// Extraction: one level as a file of its own, its tiles back to back after one table; a
// failed check keeps an older file under the name.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "compose/extract.h"
#include "jnx/codec.h"
#include "support/writer_support.h"

namespace {

using fixture::Bytes;
using fixture::JnxRecipe;
using platform::ErrorCode;

// The request resolved for a split, and the level extracted to out.
bool Extract(fixture::Loaded& s, const edit::EditRequest& request, const std::string& out, int level,
             platform::Error& error) {
    const edit::ResolvedEdit resolved = fixture::Resolve(request, s.doc, edit::Purpose::Split);
    jnx::WriterSettings settings;
    settings.overwrite = true;  // some cases write over an older output
    return compose::ExtractLevel(s.doc, resolved.values, resolved.version, s.path, out, level, settings, error);
}

// The extracted file holds exactly the tiles of that level (1-based), byte for byte, in order.
void ExpectLevelTiles(const fixture::Loaded& s, std::size_t level, const std::string& out) {
    EXPECT_EQ(fixture::TilesIn(out), fixture::LevelTiles{fixture::TilesIn(s.path)[level - 1]}) << "level " << level;
}

// Every level, in the version kept or changed: one table right after the block, the images
// right after it, the request's values in the header; the source untouched.
TEST(ExtractLevel, EveryLevelLaidOutBackToBackWithTheRequestsValues) {
    for (const auto& [from, to] : {std::pair{3, 3}, std::pair{3, 4}, std::pair{4, 3}}) {
        fixture::Loaded s(fixture::SimpleRecipe(from, 3, 4));
        edit::EditRequest request;
        request.targetVersion = to, request.productId = 32767, request.groupName = "Split group";
        request.levels[2].scale = 600;
        for (std::size_t level = 1; level <= 3; ++level) {
            const std::string out = s.dir.file("MAP_Level" + std::to_string(level) + ".jnx");
            platform::Error error;
            ASSERT_TRUE(Extract(s, request, out, int(level), error)) << platform::ErrorText(error);
            ExpectLevelTiles(s, level, out);
            const jnx::JnxDocument part = fixture::ReadFull(out);
            const std::int64_t entryEnd =
                to == 4 ? 52 + 12 + 4 + std::int64_t(s.doc.LevelInfos[level - 1].Copyright.size()) : 60;
            EXPECT_EQ(std::tuple(part.Header.Version, part.Header.LevelCount, part.Header.ProductId, part.BlockStart,
                                 part.MapInfo.BlockVersion, part.Levels[0].TableOffset, part.Tiles[0].DataOffset),
                      std::tuple(to, 1, 32767, entryEnd, 9, entryEnd + 1024, std::uint32_t(entryEnd + 1024 + 4 * 28)))
                << from << " to " << to << ", level " << level;
            EXPECT_EQ(part.Levels[0].Scale == 600, level == 3);
            EXPECT_EQ(jnx::DecodeText(part.MapInfo.GroupName, true), "Split group");
            EXPECT_EQ(s.doc.Header.Version, from);  // the only header field put back
        }
        EXPECT_EQ(fixture::ReadBytes(s.path), s.built.bytes);
    }
}

TEST(ExtractLevel, TinyTilesCompareOnlyTheirOwnBytes) {
    JnxRecipe recipe = fixture::SimpleRecipe(4, 1, 2);
    for (std::size_t n : {1, 2, 3}) recipe.levels[0].tiles.push_back({Bytes(n, std::uint8_t(0x40 + n))});
    fixture::Loaded s(recipe);
    const std::string out = s.dir.file("tiny.jnx");
    platform::Error error;
    ASSERT_TRUE(Extract(s, {}, out, 1, error)) << platform::ErrorText(error);
    ExpectLevelTiles(s, 1, out);
}

// Refusals, a failed check and a source that shrank since the read: each leaves the folder
// as it was, an older file under the output's name included.
TEST(ExtractLevel, FailuresKeepTheFolderWithAnOlderOutput) {
    JnxRecipe recipe = fixture::SimpleRecipe(3, 3, 2);
    recipe.levels[1].tiles.clear();
    fixture::Loaded s(recipe);
    const std::string out = s.dir.file("MAP_Level1.jnx");
    fixture::WriteBytes(out, Bytes{'k', 'e', 'e', 'p'});
    // The images rewritten after the read, same length: what would be copied no longer
    // matches the tables that were read.
    Bytes rewritten = s.built.bytes;
    for (std::int32_t i = 0; i < s.doc.Tiles[0].DataSize; ++i) rewritten[std::size_t(s.doc.Tiles[0].DataOffset + i)] ^= 0x5A;
    const Bytes shrunk(s.built.bytes.begin(), s.built.bytes.begin() + 1200);

    // source: what the source holds by the time of the write.
    struct Case { const char* what; std::string group; int level; const Bytes* source; ErrorCode code; };
    const std::vector<Case> cases = {
        {"level without tiles", "", 2, &s.built.bytes, ErrorCode::LevelWithoutTiles},
        {"block too long", std::string(990, 'x'), 1, &s.built.bytes, ErrorCode::MapBlockOverflow},
        {"no such level", "", 4, &s.built.bytes, ErrorCode::NoSuchLevel},
        {"images rewritten", "", 1, &rewritten, ErrorCode::WrittenImagesDiffer},
        {"source shrank", "", 3, &shrunk, ErrorCode::None},  // whichever error the copy meets
    };
    for (const Case& c : cases) {
        fixture::WriteBytes(s.path, *c.source);
        const fixture::Snapshot before = fixture::TakeSnapshot(s.dir.path());
        edit::EditRequest request;
        edit::ParseGroupName(c.group, request);
        platform::Error error;
        EXPECT_FALSE(Extract(s, request, out, c.level, error)) << c.what;
        EXPECT_TRUE(c.code == ErrorCode::None || error.code == c.code) << c.what << ": " << platform::ErrorText(error);
        EXPECT_EQ(fixture::TakeSnapshot(s.dir.path()), before) << c.what;
    }
}

TEST(LevelFilePath, FolderRules) {
    fixture::TempDir dir;
    const std::string src = dir.file("MAP.jnx");
    std::array<std::string, 5> dirs{"", "$current\\LEVELS", "/proc/no-such-drive/x", " ", dir.path() + "/a/b/c"};
    const char* expected[] = {"MAP_Level1.jnx", "LEVELS/MAP_Level2.jnx", "MAP_Level3.jnx", "MAP_Level4.jnx",
                              "a/b/c/MAP_Level5.jnx"};
    for (int level = 1; level <= 5; ++level)
        EXPECT_EQ(compose::LevelFilePath(src, level, dirs), dir.file(expected[level - 1])) << level;
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("LEVELS")) && std::filesystem::is_directory(dir.file("a/b/c")));
    // The folder text is kept as written apart from the token.
    dirs[1] = "$CURRENT/Mixed Case";
    EXPECT_EQ(compose::LevelFilePath(src, 2, dirs), dir.file("Mixed Case/MAP_Level2.jnx"));
}

}  // namespace
