#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "compose/merge_plan.h"
#include "compose/merge_write.h"
#include "jnx/codec.h"
#include "jnx/reader.h"
#include "platform/le.h"
#include "support/jnx_builder.h"

namespace {

using compose::MergeFailureKind;
using compose::MergeMessage;
using compose::MergePlanning;
using fixture::Bytes;
using fixture::JnxRecipe;
using Outcome = MergePlanning::Outcome;

// A recipe whose tiles differ from every other recipe made with another seed base.
JnxRecipe AreaSpec(int version, const std::vector<int>& tilesPerLevel, int seedBase,
                 std::vector<std::int32_t> scales = {}) {
    JnxRecipe recipe;
    recipe.version = version;
    int seed = seedBase;
    for (std::size_t i = 0; i < tilesPerLevel.size(); ++i) {
        fixture::LevelRecipe level;
        level.scale = i < scales.size() ? scales[i] : 1000 * (seedBase + int(i));
        level.zoom = int(i) + 1;
        level.name = "L" + std::to_string(seedBase) + "." + std::to_string(i + 1);
        level.copyright = "(c) " + std::string(i + 1, 'c');
        for (int j = 0; j < tilesPerLevel[i]; ++j, ++seed) {
            fixture::TileRecipe tile;
            tile.data = fixture::MakeTileData(seed, 16 + std::size_t(seed % 7) * 13);
            tile.bounds = {seed, -seed, 2 * seed, 3};
            level.tiles.push_back(tile);
        }
        recipe.levels.push_back(level);
    }
    return recipe;
}

std::string Write(const fixture::TempDir& dir, const std::string& name, const JnxRecipe& recipe) {
    const std::string path = dir.file(name);
    fixture::WriteBytes(path, fixture::BuildJnx(recipe).bytes);
    return path;
}

// Sources as the command line fills them: a quick read of each file.
std::vector<compose::MergeSource> SourcesOf(const std::vector<std::string>& paths) {
    std::vector<compose::MergeSource> sources;
    jnx::JnxDocument doc;
    for (const auto& path : paths) {
        compose::MergeSource source;
        source.path = path;
        std::int32_t tiles = 0;
        std::string error;
        if (jnx::ReadJnx(doc, path, tiles, error, false)) {
            source.version = doc.Header.Version;
            source.levelCount = doc.Header.LevelCount;
            source.totalTiles = tiles;
            source.content = compose::MergeContentOf(doc);
        } else {
            source.erroneous = true;
        }
        sources.push_back(std::move(source));
    }
    return sources;
}

MergePlanning Plan(const std::vector<std::string>& paths, const compose::MergePanel& panel, const std::string& folder) {
    return compose::PlanMerge(SourcesOf(paths), panel, compose::MergeFolderRule{"", folder});
}

std::tm Stamp() {
    std::tm when{};
    when.tm_year = 2024 - 1900;
    when.tm_mon = 0;
    when.tm_mday = 31;
    when.tm_hour = 15;
    when.tm_min = 45;
    when.tm_sec = 2;
    return when;
}

struct Written {
    bool ok = false;
    std::string path;
    compose::MergeFailure failure;
};

Written WritePlan(const compose::MergePlan& plan, std::optional<std::tm> stamp = Stamp()) {
    Written result;
    jnx::JnxDocument doc;
    compose::MergeWriteOptions options;
    options.stamp = stamp;
    result.ok = compose::WriteMerge(plan, doc, result.path, result.failure, nullptr, options);
    return result;
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (!std::filesystem::exists(folder)) return names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename());
    return names;
}

Bytes Slice(const Bytes& bytes, std::int64_t at, std::int64_t n) {
    return Bytes(bytes.begin() + at, bytes.begin() + at + n);
}

// Every tile of the output, level by level, must be the same bytes as the tile it came from.
void ExpectTilesFrom(const std::string& output, const std::vector<JnxRecipe>& recipes) {
    jnx::JnxDocument doc;
    std::int32_t tiles = 0;
    std::string error;
    ASSERT_TRUE(jnx::ReadJnx(doc, output, tiles, error, true)) << error;
    const Bytes bytes = fixture::ReadBytes(output);
    std::size_t level = 0, tile = 0;
    for (const auto& recipe : recipes) {
        for (const auto& sourceLevel : recipe.levels) {
            ASSERT_LT(level, doc.Levels.size());
            EXPECT_EQ(doc.Levels[level].TileCount, std::int32_t(sourceLevel.tiles.size())) << "level " << level + 1;
            if (recipe.withMapBlock) {
                EXPECT_EQ(doc.LevelInfos[level].Name, jnx::EncodeText(sourceLevel.name, true));
            }
            for (const auto& sourceTile : sourceLevel.tiles) {
                ASSERT_LT(tile, doc.Tiles.size());
                const auto& t = doc.Tiles[tile];
                EXPECT_EQ(Slice(bytes, t.DataOffset, t.DataSize), sourceTile.data) << "tile " << tile + 1;
                EXPECT_EQ(t.TileBounds, sourceTile.bounds);
                ++tile;
            }
            ++level;
        }
    }
    EXPECT_EQ(level, doc.Levels.size());
    EXPECT_EQ(tile, doc.Tiles.size());
    EXPECT_EQ(Slice(bytes, std::int64_t(bytes.size()) - 8, 8), (Bytes{'B', 'i', 'r', 'd', 's', 'E', 'y', 'e'}));
}

// ---------------------------------------------------------------------------------------
// Round trips over both versions, with and without a map description block.

class MergeRoundTrip : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(MergeRoundTrip, EveryLevelKeepsItsTilesInPlannedOrder) {
    const auto [version, withBlock] = GetParam();
    fixture::TempDir dir;
    JnxRecipe a = AreaSpec(version, {3, 2}, 1, {300, 200});
    JnxRecipe b = AreaSpec(version, {4}, 50, {200});
    a.withMapBlock = b.withMapBlock = withBlock;
    a.productId = 11;
    b.productId = 12;
    b.mapTitle = "Other title";
    // Producers that store images out of table order, or sign their files, merge the same.
    b.reverseDataOrder = true;
    a.signature = Bytes(37, 0x5A);
    const std::string pa = Write(dir, "a.jnx", a), pb = Write(dir, "b.jnx", b);

    const MergePlanning planning = Plan({pa, pb}, {}, dir.file("MERGED"));
    ASSERT_EQ(planning.outcome, Outcome::Planned) << compose::MergeFailureText(planning.failure, false);
    const Written written = WritePlan(planning.plan);
    ASSERT_TRUE(written.ok) << compose::MergeFailureText(written.failure, false);
    EXPECT_EQ(written.path, dir.file("MERGED") + "/20240131154502join.jnx");
    ExpectTilesFrom(written.path, {a, b});

    jnx::JnxDocument doc;
    std::int32_t tiles = 0;
    std::string error;
    ASSERT_TRUE(jnx::ReadJnx(doc, written.path, tiles, error, true)) << error;
    EXPECT_EQ(doc.Header.Version, version);
    EXPECT_EQ(doc.Header.Bounds, a.bounds);
    EXPECT_EQ(doc.Header.ProductId, 11);
    // A level of the second file with a scale the first already has is kept, not sorted or dropped.
    ASSERT_EQ(doc.Levels.size(), 3u);
    EXPECT_EQ(doc.Levels[0].Scale, 300);
    EXPECT_EQ(doc.Levels[1].Scale, 200);
    EXPECT_EQ(doc.Levels[2].Scale, 200);
    if (version == 4) {
        EXPECT_EQ(doc.Header.DrawOrder, 25);
    }
    EXPECT_FALSE(doc.NeedsRegeneration);
    if (withBlock) {
        EXPECT_EQ(doc.MapInfo.MapTitle, jnx::EncodeText("Test map", true));
        EXPECT_EQ(doc.MapInfo.MapGuid, jnx::EncodeText(a.guid, true));
    }
    // Only the published file is left in the output folder.
    EXPECT_EQ(FilesIn(dir.file("MERGED")), std::vector<std::string>{"20240131154502join.jnx"});
}

INSTANTIATE_TEST_SUITE_P(Versions, MergeRoundTrip,
                         ::testing::Combine(::testing::Values(3, 4), ::testing::Bool()),
                         [](const auto& param) {
                             return "v" + std::to_string(std::get<0>(param.param)) +
                                    (std::get<1>(param.param) ? "_block" : "_noblock");
                         });

TEST(MergeWrite, SectionsLieWhereTheSizesSay) {
    fixture::TempDir dir;
    const JnxRecipe a = AreaSpec(3, {10, 6}, 1), b = AreaSpec(3, {4}, 100);
    const MergePlanning planning = Plan({Write(dir, "a.jnx", a), Write(dir, "b.jnx", b)}, {}, dir.path());
    ASSERT_EQ(planning.outcome, Outcome::Planned);
    EXPECT_EQ(compose::MergeHeaderSize(3), 48);
    EXPECT_EQ(compose::MergeLevelTableSize(planning.plan), 36);
    const Written written = WritePlan(planning.plan);
    ASSERT_TRUE(written.ok) << compose::MergeFailureText(written.failure, false);

    const Bytes bytes = fixture::ReadBytes(written.path);
    EXPECT_EQ(platform::LoadI32(&bytes[48 + 4]), 1108);
    EXPECT_EQ(platform::LoadI32(&bytes[60 + 4]), 1388);
    EXPECT_EQ(platform::LoadI32(&bytes[72 + 4]), 1556);
    EXPECT_EQ(platform::LoadI32(&bytes[1108 + 24]), 1668);  // first image right after the last table
    EXPECT_EQ(Slice(bytes, 1668, std::int64_t(a.levels[0].tiles[0].data.size())), a.levels[0].tiles[0].data);
}

TEST(MergeWrite, MixedVersionsTakeTheChosenVersion) {
    fixture::TempDir dir;
    const JnxRecipe a = AreaSpec(3, {2}, 1), b = AreaSpec(4, {3, 1}, 40);
    const std::vector<std::string> paths{Write(dir, "a.jnx", a), Write(dir, "b.jnx", b)};
    for (int target : {3, 4}) {
        compose::MergePanel panel;
        panel.targetVersion = target;
        panel.drawOrderText = " 40 ";
        const MergePlanning planning = Plan(paths, panel, dir.file("v" + std::to_string(target)));
        ASSERT_EQ(planning.outcome, Outcome::Planned);
        const Written written = WritePlan(planning.plan);
        ASSERT_TRUE(written.ok) << compose::MergeFailureText(written.failure, false);
        ExpectTilesFrom(written.path, {a, b});
        jnx::JnxDocument doc;
        std::int32_t tiles = 0;
        std::string error;
        ASSERT_TRUE(jnx::ReadJnx(doc, written.path, tiles, error, false)) << error;
        EXPECT_EQ(doc.Header.Version, target);
        EXPECT_EQ(doc.Header.DrawOrder, target == 4 ? 40 : 25);
    }
}

// ---------------------------------------------------------------------------------------
// The panel's values in the plan.

TEST(MergePlan, PanelValuesAndWhatTheFirstFileGives) {
    fixture::TempDir dir;
    JnxRecipe a = AreaSpec(4, {1, 1}, 1, {100, 200}), b = AreaSpec(4, {1}, 9, {150});
    a.groupName = "First group";
    b.groupName = "Second group";
    a.drawOrder = b.drawOrder = 60;
    const std::vector<std::string> paths{Write(dir, "a.jnx", a), Write(dir, "b.jnx", b)};

    compose::MergePanel panel;
    MergePlanning planning = Plan(paths, panel, dir.path());
    ASSERT_EQ(planning.outcome, Outcome::Planned);
    EXPECT_EQ(planning.plan.Header.ProductId, a.productId);
    EXPECT_EQ(planning.plan.MapInfo.GroupName, jnx::EncodeText("First group", true));
    EXPECT_EQ(planning.plan.Header.DrawOrder, 25);  // the files' own draw orders are not used
    EXPECT_EQ(planning.plan.MapInfo.InfoLevelCount, 3);
    EXPECT_EQ(planning.plan.Header.LevelCount, 3);

    panel.productIdText = " 77 ";
    panel.groupText = " Spaced name ";
    panel.levelScale[2] = 50000;
    panel.levelPriority[2] = true;
    panel.levelScale[0] = 1000;
    planning = Plan(paths, panel, dir.path());
    ASSERT_EQ(planning.outcome, Outcome::Planned);
    EXPECT_EQ(planning.plan.Header.ProductId, 77);
    EXPECT_EQ(planning.plan.MapInfo.GroupName, jnx::EncodeText(" Spaced name ", true));
    EXPECT_EQ(planning.plan.Levels[0].Scale, 1000);
    EXPECT_EQ(planning.plan.Levels[1].Scale, 200);
    EXPECT_EQ(planning.plan.Levels[2].Scale, 49999);

    panel.groupText = "   ";
    planning = Plan(paths, panel, dir.path());
    EXPECT_EQ(planning.plan.MapInfo.GroupName, jnx::EncodeText("First group", true));

    panel.productIdText = "seven";
    planning = Plan(paths, panel, dir.path());
    EXPECT_EQ(planning.outcome, Outcome::Failed);
    EXPECT_EQ(planning.failure.kind, MergeFailureKind::Other);
    EXPECT_EQ(compose::MergeFailureText(planning.failure, false).rfind("Error merging files.\r\n", 0), 0u);
}

TEST(MergePlan, OutputFolderRule) {
    using compose::MergeFolderRule;
    using compose::MergeTargetFolder;
    EXPECT_EQ(MergeTargetFolder(MergeFolderRule{"", "/data/maps"}), "/data/maps");
    EXPECT_EQ(MergeTargetFolder(MergeFolderRule{"$CURRENT\\MERGED", "/data/maps"}), "/data/maps/MERGED");
    EXPECT_EQ(MergeTargetFolder(MergeFolderRule{"/srv/out/$CURRENT", "/m"}), "/srv/out//m");
    EXPECT_EQ(MergeTargetFolder(MergeFolderRule{"/srv/joined", "/data/maps"}), "/srv/joined");
    // A drive letter names no folder here: the folder shown is used.
    EXPECT_EQ(MergeTargetFolder(MergeFolderRule{"D:\\joined", "/data/maps"}), "/data/maps");
    // Matched exactly: "$current" is just a folder name, taken below the folder shown.
    EXPECT_EQ(MergeTargetFolder(MergeFolderRule{"$current", "/data/maps"}), "/data/maps/$current");
}

// ---------------------------------------------------------------------------------------
// Refusals: each comes back as its message, and nothing is written.

TEST(MergePlan, RefusalsCarryTheirMessage) {
    fixture::TempDir dir;
    const std::string v4a = Write(dir, "v4a.jnx", AreaSpec(4, {1, 1, 1}, 1));
    const std::string v4b = Write(dir, "v4b.jnx", AreaSpec(4, {1, 1, 1}, 10));
    const std::string v3 = Write(dir, "v3.jnx", AreaSpec(3, {1, 1}, 20));
    JnxRecipe shifted = AreaSpec(4, {1}, 30);
    shifted.bounds[3] += 1;
    const std::string moved = Write(dir, "moved.jnx", shifted);
    const std::string single = Write(dir, "single.jnx", AreaSpec(4, {1}, 40));
    const std::string broken = dir.file("broken.jnx");
    fixture::WriteBytes(broken, Bytes{9, 0, 0, 0, 1, 2, 3});
    const auto before = dir.list();

    struct Case {
        std::vector<std::string> files;
        std::optional<int> target;
        MergeMessage id;
        std::string english;
    };
    const std::vector<Case> cases = {
        {{v4a}, {}, MergeMessage::TooFewFiles, "You must select at least two valid JNX file to join."},
        {{v4a, broken, v3}, {}, MergeMessage::ErroneousFile, "All erroneous files must be unchecked."},
        {{v4a, v4b}, {}, MergeMessage::TooManyLevels,
         "NumLevels result [6] should be less than or equal to 5 (Garmin Limit)."},
        {{v4a, v3}, {}, MergeMessage::VersionConflict,
         "You must select a valid jnx version in combo, because original jnx have different jnx versions."},
        {{v4a, moved}, {}, MergeMessage::DifferentArea,
         "Only can join maps of the same area but different zoom levels."},
    };
    for (const auto& c : cases) {
        compose::MergePanel panel;
        panel.targetVersion = c.target;
        const MergePlanning planning = Plan(c.files, panel, dir.file("out"));
        ASSERT_EQ(planning.outcome, Outcome::Refused) << c.english;
        EXPECT_EQ(planning.refusal.id, c.id);
        EXPECT_EQ(compose::MergeRefusalText(planning.refusal, false), c.english);
    }
    EXPECT_EQ(dir.list(), before);

    // Five levels pass; a chosen version settles a mix.
    compose::MergePanel v3panel;
    v3panel.targetVersion = 3;
    EXPECT_EQ(Plan({v4a, v3}, v3panel, dir.path()).outcome, Outcome::Planned);
    EXPECT_EQ(Plan({v4a, single}, {}, dir.path()).outcome, Outcome::Planned);
    EXPECT_EQ(compose::ValidateMerge({}, {}, false)->id, MergeMessage::NoDirectory);
}

TEST(MergePlan, SpanishTexts) {
    using compose::MergeRefusal;
    EXPECT_EQ(compose::MergeRefusalText(MergeRefusal{MergeMessage::TooManyLevels, 6}, true),
              "El número de niveles del fichero resultante [6] no puede ser superior a 5 (limite Garmin).");
    EXPECT_EQ(compose::MergeRefusalText(MergeRefusal{MergeMessage::TooFewFiles, 0}, true),
              "Debe seleccionar al menos dos ficheros a unir.");
    EXPECT_EQ(compose::MergeFailureText({MergeFailureKind::LoadingFull, "/m/b.jnx", "Jnx Version Error"}, true),
              "Error uniendo ficheros.\r\nCargando /m/b.jnx\r\nJnx Version Error");
    EXPECT_EQ(compose::MergeFailureText({MergeFailureKind::Checkpoint, "", ""}, false),
              "Error merging files.\r\nCheckpoint");
}

TEST(MergePlan, RowThatNoLongerMatchesItsFileFails) {
    fixture::TempDir dir;
    auto sources = SourcesOf({Write(dir, "a.jnx", AreaSpec(3, {2}, 1)), Write(dir, "b.jnx", AreaSpec(3, {2, 1}, 9))});
    sources[1].levelCount = 1;  // the scan saw one level
    sources[1].totalTiles = 2;
    const MergePlanning planning = compose::PlanMerge(sources, {}, {"", dir.path()});
    ASSERT_EQ(planning.outcome, Outcome::Failed);
    EXPECT_EQ(planning.failure.path, sources[1].path);

    // A plan that cannot be sized (no tiles at all) fails rather than writing an empty map.
    sources = SourcesOf({Write(dir, "c.jnx", AreaSpec(3, {2}, 1)), Write(dir, "d.jnx", AreaSpec(3, {1}, 9))});
    for (auto& s : sources) {
        s.totalTiles = 0;
        for (auto& level : s.content->Levels) level.TileCount = 0;
    }
    EXPECT_EQ(compose::PlanMerge(sources, {}, {"", dir.path()}).outcome, Outcome::Failed);
}

TEST(MergePlan, MapBlockThatCannotBePaddedFails) {
    fixture::TempDir dir;
    const std::vector<std::string> paths{Write(dir, "a.jnx", AreaSpec(3, {1}, 1)), Write(dir, "b.jnx", AreaSpec(3, {1}, 5))};
    MergePlanning planning = Plan(paths, {}, dir.path());
    ASSERT_EQ(planning.outcome, Outcome::Planned);
    const std::int64_t room = 1024 - compose::MergeMapBlockSize(planning.plan);
    compose::MergePanel panel;
    const std::int64_t groupLength = jnx::TextLength(planning.plan.MapInfo.GroupName);
    panel.groupText = std::string(std::size_t(groupLength + room - 1), 'g');  // block of 1023 bytes
    planning = Plan(paths, panel, dir.path());
    ASSERT_EQ(planning.outcome, Outcome::Planned);
    EXPECT_EQ(compose::MergeMapBlockSize(planning.plan), 1023);
    ASSERT_TRUE(WritePlan(planning.plan).ok);

    panel.groupText += "g";  // 1024 bytes
    planning = Plan(paths, panel, dir.file("none"));
    EXPECT_EQ(planning.outcome, Outcome::Failed);
    EXPECT_FALSE(std::filesystem::exists(dir.file("none")));
}

// ---------------------------------------------------------------------------------------
// Failures while writing leave nothing behind.

TEST(MergeWrite, SourceTruncatedAfterPlanningLeavesNoFile) {
    fixture::TempDir dir;
    const std::string pa = Write(dir, "a.jnx", AreaSpec(4, {2}, 1)), pb = Write(dir, "b.jnx", AreaSpec(4, {3}, 9));
    const MergePlanning planning = Plan({pa, pb}, {}, dir.file("out"));
    ASSERT_EQ(planning.outcome, Outcome::Planned);
    Bytes bytes = fixture::ReadBytes(pb);
    bytes.resize(bytes.size() - 20);  // into the last tile's data: no trailer left
    fixture::WriteBytes(pb, bytes);

    const Written written = WritePlan(planning.plan);
    EXPECT_FALSE(written.ok);
    EXPECT_EQ(written.failure.kind, MergeFailureKind::LoadingFull);
    EXPECT_EQ(written.failure.path, pb);
    EXPECT_FALSE(written.failure.detail.empty());
    EXPECT_TRUE(FilesIn(dir.file("out")).empty());
}

TEST(MergeWrite, SourceGrownAfterPlanningLeavesNoFile) {
    fixture::TempDir dir;
    const std::string pa = Write(dir, "a.jnx", AreaSpec(3, {2}, 1)), pb = Write(dir, "b.jnx", AreaSpec(3, {3}, 9));
    const MergePlanning planning = Plan({pa, pb}, {}, dir.path());
    ASSERT_EQ(planning.outcome, Outcome::Planned);
    for (const auto& grown : {AreaSpec(3, {4}, 9), AreaSpec(3, {3, 1}, 9), AreaSpec(3, {2}, 9)}) {
        fixture::WriteBytes(pb, fixture::BuildJnx(grown).bytes);
        const Written written = WritePlan(planning.plan);
        EXPECT_FALSE(written.ok);
        EXPECT_NE(written.failure.detail.find("has changed"), std::string::npos) << written.failure.detail;
        EXPECT_EQ(dir.list(), (std::vector<std::string>{"a.jnx", "b.jnx"}));
    }
}

TEST(MergeWrite, FolderThatCannotHoldTheFileLeavesNothing) {
    fixture::TempDir dir;
    const std::string pa = Write(dir, "a.jnx", AreaSpec(3, {1}, 1)), pb = Write(dir, "b.jnx", AreaSpec(3, {1}, 9));
    fixture::WriteBytes(dir.file("plainfile"), Bytes{1});
    const MergePlanning planning = Plan({pa, pb}, {}, dir.file("plainfile") + "/sub");
    ASSERT_EQ(planning.outcome, Outcome::Planned);
    const Written written = WritePlan(planning.plan);
    EXPECT_FALSE(written.ok);
    EXPECT_EQ(written.failure.kind, MergeFailureKind::Other);
    EXPECT_EQ(FilesIn(dir.path()).size(), 3u);
}

TEST(MergeWrite, TwoMergesInOneSecondGiveTwoFiles) {
    fixture::TempDir dir;
    const JnxRecipe a = AreaSpec(4, {2}, 1), b = AreaSpec(4, {1}, 9), c = AreaSpec(4, {3}, 20);
    const std::string pa = Write(dir, "a.jnx", a), pb = Write(dir, "b.jnx", b), pc = Write(dir, "c.jnx", c);
    const std::string out = dir.file("out");
    const MergePlanning first = Plan({pa, pb}, {}, out);
    const MergePlanning second = Plan({pc, pa}, {}, out);
    ASSERT_EQ(first.outcome, Outcome::Planned);
    ASSERT_EQ(second.outcome, Outcome::Planned);
    const Written w1 = WritePlan(first.plan), w2 = WritePlan(second.plan);
    ASSERT_TRUE(w1.ok && w2.ok);
    EXPECT_EQ(w1.path, out + "/20240131154502join.jnx");
    EXPECT_EQ(w2.path, out + "/20240131154502join-2.jnx");
    ExpectTilesFrom(w1.path, {a, b});
    ExpectTilesFrom(w2.path, {c, a});

    // With the real clock too: the second never replaces the first.
    const Written w3 = WritePlan(first.plan, std::nullopt), w4 = WritePlan(first.plan, std::nullopt);
    ASSERT_TRUE(w3.ok && w4.ok);
    EXPECT_NE(w3.path, w4.path);
    EXPECT_EQ(FilesIn(out).size(), 4u);
}

// ---------------------------------------------------------------------------------------
// The command line.

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

CliRun RunCli(const fixture::TempDir& dir, const std::string& arguments) {
    const std::string outFile = dir.path() + "/.cli-out", errFile = dir.path() + "/.cli-err";
    const std::string command = std::string(TESSALY_CLI_PATH) + " merge " + arguments + " --settings '" +
                                dir.path() + "/.ini' >'" + outFile + "' 2>'" + errFile + "'";
    CliRun run;
    const int status = std::system(command.c_str());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    auto slurp = [](const std::string& path) {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    };
    run.out = slurp(outFile);
    run.err = slurp(errFile);
    std::remove(outFile.c_str());
    std::remove(errFile.c_str());
    return run;
}

TEST(MergeCli, WritesPrintsRefusesAndRejectsUsage) {
    fixture::TempDir dir;
    {
        std::ofstream ini(dir.path() + "/.ini");
        ini << "[Preferences]\nLang=ENG\n[Merge]\nDir=$CURRENT\\joined\n";
    }
    const JnxRecipe a = AreaSpec(3, {2}, 1), b = AreaSpec(4, {1, 2}, 9);
    const std::string pa = Write(dir, "a.jnx", a), pb = Write(dir, "b.jnx", b);

    CliRun run = RunCli(dir, "'" + pa + "' '" + pb + "'");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("You must select a valid jnx version in combo"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("joined")));

    run = RunCli(dir, "'" + pa + "' '" + pb + "' --to-version 4 --product-id 5 --group Joined --draw-order 33");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_FALSE(run.out.empty());
    const std::string output = run.out.substr(0, run.out.find('\n'));
    EXPECT_EQ(std::filesystem::path(output).parent_path(), std::filesystem::path(dir.file("joined")));
    ExpectTilesFrom(output, {a, b});
    jnx::JnxDocument doc;
    std::int32_t tiles = 0;
    std::string error;
    ASSERT_TRUE(jnx::ReadJnx(doc, output, tiles, error, false)) << error;
    EXPECT_EQ(doc.Header.Version, 4);
    EXPECT_EQ(doc.Header.ProductId, 5);
    EXPECT_EQ(doc.Header.DrawOrder, 33);
    EXPECT_EQ(jnx::DecodeText(doc.MapInfo.GroupName, true), "Joined");

    run = RunCli(dir, "'" + pa + "' --out '" + dir.file("elsewhere") + "'");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("You must select at least two valid JNX file to join."), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.file("elsewhere")));

    run = RunCli(dir, "'" + pa + "' '" + pb + "' --to-version 5");
    EXPECT_EQ(run.exitCode, 2);
    run = RunCli(dir, "'" + pa + "' '" + pb + "' --bogus");
    EXPECT_EQ(run.exitCode, 2);
    run = RunCli(dir, "");
    EXPECT_EQ(run.exitCode, 2);
}

}  // namespace
