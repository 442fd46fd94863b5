// The merge: plans checked against the files chosen, and merged files read back tile by
// tile; a merge that fails on the way leaves no file of its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "compose/merge_plan.h"
#include "compose/merge_write.h"
#include "jnx/codec.h"
#include "jnx/reader.h"
#include "platform/le.h"
#include "support/jnx_builder.h"

namespace platform {
// A failed check names the code, not its bytes.
void PrintTo(ErrorCode code, std::ostream* os) { *os << ErrorTemplate(code); }
}  // namespace platform

namespace {

using compose::MergePlanning;
using edit::EditorValues;
using fixture::Bytes;
using fixture::JnxRecipe;
using platform::ErrorCode;
using Outcome = MergePlanning::Outcome;

// A recipe whose tiles differ from every other recipe made with another seed base.
JnxRecipe Area(int version, const std::vector<int>& tilesPerLevel, int seedBase, std::vector<std::int32_t> scales = {}) {
    JnxRecipe recipe;
    recipe.version = version;
    int seed = seedBase;
    for (std::size_t i = 0; i < tilesPerLevel.size(); ++i) {
        fixture::LevelRecipe& level = recipe.levels.emplace_back();
        level.scale = i < scales.size() ? scales[i] : 1000 * (seedBase + int(i));
        level.zoom = int(i) + 1;
        level.name = "L" + std::to_string(seedBase) + "." + std::to_string(i + 1);
        level.copyright = "(c) " + std::string(i + 1, 'c');
        for (int j = 0; j < tilesPerLevel[i]; ++j, ++seed)
            level.tiles.push_back(
                {fixture::MakeTileData(seed, 16 + std::size_t(seed % 7) * 13), {seed, -seed, 2 * seed, 3}});
    }
    return recipe;
}

std::string Write(const fixture::TempDir& dir, const std::string& name, const JnxRecipe& recipe) {
    const std::string path = dir.file(name);
    fixture::WriteBytes(path, fixture::BuildJnx(recipe).bytes);
    return path;
}

jnx::JnxDocument Read(const std::string& path) {
    jnx::JnxDocument doc;
    std::int32_t tiles = 0;
    std::string error;
    EXPECT_TRUE(jnx::ReadJnx(doc, path, tiles, error, true)) << path << ": " << error;
    return doc;
}

// Sources as the command line fills them: a quick read of each file.
std::vector<compose::MergeSource> SourcesOf(const std::vector<std::string>& paths) {
    std::vector<compose::MergeSource> sources;
    jnx::JnxDocument doc;
    for (const auto& path : paths) {
        compose::MergeSource& source = sources.emplace_back();
        source.path = path;
        std::int32_t tiles = 0;
        std::string error;
        source.erroneous = !jnx::ReadJnx(doc, path, tiles, error, false);
        if (source.erroneous) continue;
        source.version = doc.Header.Version;
        source.levelCount = doc.Header.LevelCount;
        source.totalTiles = tiles;
        source.content = compose::MergeContentOf(doc);
    }
    return sources;
}

MergePlanning Plan(const std::vector<std::string>& paths, const EditorValues& request, const std::string& folder) {
    return compose::PlanMerge(SourcesOf(paths), request, compose::MergeFolderRule{"", folder});
}

// The plan of a merge that must be possible.
compose::MergePlan PlanOk(const std::vector<std::string>& paths, const std::string& folder,
                          const EditorValues& request = {}) {
    MergePlanning planning = Plan(paths, request, folder);
    EXPECT_EQ(planning.outcome, Outcome::Planned) << platform::ErrorText(planning.error);
    return std::move(planning.plan);
}

std::tm Stamp() {  // 2024-01-31 15:45:02
    std::tm when{};
    when.tm_year = 124, when.tm_mday = 31, when.tm_hour = 15, when.tm_min = 45, when.tm_sec = 2;
    return when;
}

// Writes the plan and gives the published path. Without failure the write must succeed;
// with it, the caller checks the error.
std::string WritePlan(const compose::MergePlan& plan, platform::Error* failure = nullptr,
                      std::optional<std::tm> stamp = Stamp()) {
    jnx::JnxDocument doc;
    compose::MergeWriteOptions options;
    options.stamp = stamp;
    std::string path;
    platform::Error error;
    const bool ok = compose::WriteMerge(plan, doc, path, error, nullptr, options);
    EXPECT_EQ(ok, failure == nullptr) << platform::ErrorText(error);
    if (failure) *failure = error;
    return path;
}

// Hidden names too: a temporary file left behind must show.
std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (!std::filesystem::exists(folder)) return names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename());
    return names;
}

Bytes Slice(const Bytes& bytes, std::int64_t at, std::int64_t n) {
    return Bytes(bytes.begin() + at, bytes.begin() + at + n);
}

std::vector<std::int32_t> Scales(const std::vector<jnx::JnxLevel>& levels) {
    std::vector<std::int32_t> scales;
    for (const auto& level : levels) scales.push_back(level.Scale);
    return scales;
}

// Every tile of the output, level by level, must be the same bytes as the tile it came from.
void ExpectTilesFrom(const std::string& output, const std::vector<JnxRecipe>& recipes) {
    const jnx::JnxDocument doc = Read(output);
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
                const auto& t = doc.Tiles[tile++];
                EXPECT_EQ(Slice(bytes, t.DataOffset, t.DataSize), sourceTile.data) << "tile " << tile;
                EXPECT_EQ(t.TileBounds, sourceTile.bounds) << "tile " << tile;
            }
            ++level;
        }
    }
    EXPECT_EQ(level, doc.Levels.size());
    EXPECT_EQ(tile, doc.Tiles.size());
    EXPECT_EQ(Slice(bytes, std::int64_t(bytes.size()) - 8, 8), (Bytes{'B', 'i', 'r', 'd', 's', 'E', 'y', 'e'}));
}

// ---------------------------------------------------------------------------------------
// Merged files.

struct RoundTrip {
    const char* name;
    int versionA, versionB;
    bool withBlock;
    std::optional<int> target;
    const char* drawOrder;
    int expectedDrawOrder;  // what a read gives; version 3 stores none
};

void PrintTo(const RoundTrip& p, std::ostream* os) { *os << p.name; }

class MergeRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(MergeRoundTrip, EveryLevelKeepsItsTilesInPlannedOrder) {
    const RoundTrip& p = GetParam();
    fixture::TempDir dir;
    JnxRecipe a = Area(p.versionA, {3, 2}, 1, {300, 200}), b = Area(p.versionB, {4}, 50, {200});
    a.withMapBlock = b.withMapBlock = p.withBlock;
    a.productId = 11;
    b.productId = 12;
    b.mapTitle = "Other title";
    a.groupName = "First group";
    b.groupName = "Second group";
    a.drawOrder = b.drawOrder = 60;  // a merged file starts afresh
    // Producers that store images out of table order, or sign their files, merge the same.
    b.reverseDataOrder = true;
    a.signature = Bytes(37, 0x5A);
    EditorValues request;
    request.cboActualizar = p.target;
    request.txtDrawOrder = p.drawOrder;
    const std::string output =
        WritePlan(PlanOk({Write(dir, "a.jnx", a), Write(dir, "b.jnx", b)}, dir.file("MERGED"), request));
    EXPECT_EQ(output, dir.file("MERGED") + "/20240131154502join.jnx");
    ExpectTilesFrom(output, {a, b});

    const jnx::JnxDocument doc = Read(output);
    EXPECT_EQ(doc.Header.Version, p.target.value_or(p.versionA));
    EXPECT_EQ(doc.Header.Bounds, a.bounds);
    EXPECT_EQ(doc.Header.ProductId, 11);
    EXPECT_EQ(doc.Header.DrawOrder, p.expectedDrawOrder);
    // A level of the second file with a scale the first already has is kept, not sorted or dropped.
    EXPECT_EQ(Scales(doc.Levels), (std::vector<std::int32_t>{300, 200, 200}));
    EXPECT_FALSE(doc.NeedsRegeneration);
    if (p.withBlock) {
        EXPECT_EQ(doc.MapInfo.MapTitle, jnx::EncodeText("Test map", true));
        EXPECT_EQ(doc.MapInfo.MapGuid, jnx::EncodeText(a.guid, true));
        EXPECT_EQ(doc.MapInfo.GroupName, jnx::EncodeText("First group", true));
    }
    EXPECT_EQ(FilesIn(dir.file("MERGED")), std::vector<std::string>{"20240131154502join.jnx"});
}

// Mixed versions take the version chosen.
INSTANTIATE_TEST_SUITE_P(Versions, MergeRoundTrip,
                         ::testing::Values(RoundTrip{"v3_block", 3, 3, true, {}, "", 25},
                                           RoundTrip{"v3_noblock", 3, 3, false, {}, "", 25},
                                           RoundTrip{"v4_block", 4, 4, true, {}, "", 25},
                                           RoundTrip{"v4_noblock", 4, 4, false, {}, "", 25},
                                           RoundTrip{"mixed_to_v3", 3, 4, true, 3, " 40 ", 25},
                                           RoundTrip{"mixed_to_v4", 4, 3, true, 4, " 40 ", 40}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(MergeWrite, SectionsLieWhereTheSizesSay) {
    fixture::TempDir dir;
    const JnxRecipe a = Area(3, {10, 6}, 1), b = Area(3, {4}, 100);
    const Bytes bytes =
        fixture::ReadBytes(WritePlan(PlanOk({Write(dir, "a.jnx", a), Write(dir, "b.jnx", b)}, dir.path())));
    // A 48-byte header, three 12-byte level entries, the 1024-byte block, then the tables.
    EXPECT_EQ(platform::LoadI32(&bytes[48 + 4]), 1108);
    EXPECT_EQ(platform::LoadI32(&bytes[60 + 4]), 1388);
    EXPECT_EQ(platform::LoadI32(&bytes[72 + 4]), 1556);
    EXPECT_EQ(platform::LoadI32(&bytes[1108 + 24]), 1668);  // first image right after the last table
    EXPECT_EQ(Slice(bytes, 1668, std::int64_t(a.levels[0].tiles[0].data.size())), a.levels[0].tiles[0].data);
}

TEST(MergeWrite, TwoMergesInOneSecondGiveTwoFiles) {
    fixture::TempDir dir;
    const JnxRecipe a = Area(4, {2}, 1), b = Area(4, {1}, 9), c = Area(4, {3}, 20);
    const std::string pa = Write(dir, "a.jnx", a), pb = Write(dir, "b.jnx", b), pc = Write(dir, "c.jnx", c);
    const std::string out = dir.file("out");
    const compose::MergePlan first = PlanOk({pa, pb}, out);
    const std::string w1 = WritePlan(first), w2 = WritePlan(PlanOk({pc, pa}, out));
    EXPECT_EQ(w1, out + "/20240131154502join.jnx");
    EXPECT_EQ(w2, out + "/20240131154502join-2.jnx");
    ExpectTilesFrom(w1, {a, b});
    ExpectTilesFrom(w2, {c, a});
    // With the real clock too: the second never replaces the first.
    EXPECT_NE(WritePlan(first, nullptr, std::nullopt), WritePlan(first, nullptr, std::nullopt));
    EXPECT_EQ(FilesIn(out).size(), 4u);
}

// ---------------------------------------------------------------------------------------
// Failures while writing leave no file of the merge.

TEST(MergeWrite, SourceChangedAfterPlanningLeavesNoFile) {
    fixture::TempDir dir;
    const std::string pa = Write(dir, "a.jnx", Area(4, {2}, 1)), pb = Write(dir, "b.jnx", Area(4, {3}, 9));
    const compose::MergePlan plan = PlanOk({pa, pb}, dir.file("out"));
    Bytes truncated = fixture::ReadBytes(pb);
    truncated.resize(truncated.size() - 20);  // into the last tile's data: no trailer left
    JnxRecipe moved = Area(4, {3}, 9);
    moved.bounds[0] += 1;
    const std::vector<std::pair<Bytes, ErrorCode>> cases = {
        {truncated, ErrorCode::MergeLoadingFull},
        {fixture::BuildJnx(Area(4, {4}, 9)).bytes, ErrorCode::MergeSourceChanged},     // grown
        {fixture::BuildJnx(Area(4, {3, 1}, 9)).bytes, ErrorCode::MergeSourceChanged},  // a level more
        {fixture::BuildJnx(Area(4, {2}, 9)).bytes, ErrorCode::MergeSourceChanged},     // shrunk
        {fixture::BuildJnx(moved).bytes, ErrorCode::MergeSourceChanged},                   // another area
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        fixture::WriteBytes(pb, cases[i].first);
        platform::Error error;
        EXPECT_EQ(WritePlan(plan, &error), "") << "case " << i;
        EXPECT_EQ(error.code, cases[i].second) << "case " << i;
        EXPECT_EQ(error.file, pb);
        EXPECT_TRUE(FilesIn(dir.file("out")).empty()) << "case " << i;
    }
}

// ---------------------------------------------------------------------------------------
// Plans.

TEST(MergePlan, RequestValuesOverWhatTheFirstFileGives) {
    fixture::TempDir dir;
    JnxRecipe a = Area(4, {1, 1}, 1, {100, 200}), b = Area(4, {1}, 9, {150});
    a.groupName = "First group";
    b.groupName = "Second group";
    const std::vector<std::string> paths{Write(dir, "a.jnx", a), Write(dir, "b.jnx", b)};

    EditorValues request;
    request.txtFamiliGroup = " Joined ";
    request.cboNivel[0] = 1000;
    request.cboNivel[2] = 50000;
    request.chkSplitOPriority[2] = true;  // drawn just before the chosen scale takes over
    request.chkSplitOPriority[1] = true;  // without a chosen scale the level keeps its own
    const compose::MergePlan plan = PlanOk(paths, dir.path(), request);
    EXPECT_EQ(plan.MapInfo.GroupName, jnx::EncodeText("Joined", true));
    EXPECT_EQ(Scales(plan.Levels), (std::vector<std::int32_t>{1000, 200, 49999}));
    request.txtFamiliGroup = "   ";
    EXPECT_EQ(PlanOk(paths, dir.path(), request).MapInfo.GroupName, jnx::EncodeText("First group", true));

    // The product ID follows the save's rule: 16 bits or nothing.
    const std::vector<std::pair<std::string, std::optional<int>>> ids = {
        {" 32767 ", 32767}, {"-32768", -32768}, {"32768", {}}, {"-32769", {}}, {"seven", {}}};
    for (const auto& [text, id] : ids) {
        request.txtProductID = text;
        const MergePlanning planning = Plan(paths, request, dir.path());
        EXPECT_EQ(planning.outcome, id ? Outcome::Planned : Outcome::Failed) << text;
        EXPECT_EQ(planning.error.code, id ? ErrorCode::None : ErrorCode::BadProductId) << text;
        EXPECT_EQ(planning.plan.Header.ProductId, id.value_or(0)) << text;
    }
    request.txtProductID.clear();
    request.txtDrawOrder = "12a";
    EXPECT_EQ(Plan(paths, request, dir.path()).error.code, ErrorCode::BadDrawOrder);
}

TEST(MergePlan, OutputFolderRule) {
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"", "/data/maps", "/data/maps"},
        {"$CURRENT\\MERGED", "/data/maps", "/data/maps/MERGED"},
        {"/srv/out/$CURRENT", "/m", "/srv/out//m"},
        {"/srv/joined", "/data/maps", "/srv/joined"},
        {"D:\\joined", "/data/maps", "/data/maps"},         // a drive letter names no folder here
        {"$current", "/data/maps", "/data/maps/$current"},  // matched exactly; relative to the folder shown
    };
    for (const auto& [mergeDir, current, expected] : cases)
        EXPECT_EQ(compose::MergeTargetFolder(compose::MergeFolderRule{mergeDir, current}), expected) << mergeDir;
}

TEST(MergePlan, RefusalsByCodeWriteNothing) {
    fixture::TempDir dir;
    const std::string v4a = Write(dir, "v4a.jnx", Area(4, {1, 1, 1}, 1));
    const std::string v4b = Write(dir, "v4b.jnx", Area(4, {1, 1, 1}, 10));
    const std::string v3 = Write(dir, "v3.jnx", Area(3, {1, 1}, 20));
    JnxRecipe shifted = Area(4, {1}, 30);
    shifted.bounds[3] += 1;
    const std::string moved = Write(dir, "moved.jnx", shifted);
    const std::string broken = dir.file("broken.jnx");
    fixture::WriteBytes(broken, Bytes{9, 0, 0, 0, 1, 2, 3});
    const auto before = dir.list();

    const std::vector<std::pair<std::vector<std::string>, ErrorCode>> cases = {
        {{v4a}, ErrorCode::RefuseMergeTooFew},
        {{v4a, broken, v3}, ErrorCode::RefuseErroneousChecked},
        {{v4a, v4b}, ErrorCode::RefuseMergeTooManyLevels},
        {{v4a, v3}, ErrorCode::RefuseMergeVersions},
        {{v4a, moved}, ErrorCode::RefuseMergeDifferentArea},
    };
    for (const auto& [files, code] : cases) {
        const MergePlanning planning = Plan(files, {}, dir.file("out"));
        EXPECT_EQ(planning.outcome, Outcome::Refused) << int(code);
        EXPECT_EQ(planning.error.code, code);
    }
    EXPECT_EQ(Plan({v4a, v4b}, {}, dir.path()).error.value, 6);
    EXPECT_EQ(dir.list(), before);

    // Five levels pass; a chosen version settles a mix.
    EditorValues v3request;
    v3request.cboActualizar = 3;
    EXPECT_EQ(Plan({v4a, v3}, v3request, dir.path()).outcome, Outcome::Planned);
    platform::Error refusal;
    EXPECT_FALSE(compose::ValidateMerge({}, {}, refusal, false));
    EXPECT_EQ(refusal.code, ErrorCode::RefuseNoFolder);
}

TEST(MergePlan, RowThatNoLongerMatchesItsFileFails) {
    fixture::TempDir dir;
    auto sources = SourcesOf({Write(dir, "a.jnx", Area(3, {2}, 1)), Write(dir, "b.jnx", Area(3, {2, 1}, 9))});
    const compose::MergeFolderRule folder{"", dir.path()};
    sources[1].levelCount = 1;  // the scan saw one level
    sources[1].totalTiles = 2;
    MergePlanning planning = compose::PlanMerge(sources, {}, folder);
    EXPECT_EQ(planning.outcome, Outcome::Failed);
    EXPECT_EQ(planning.error.code, ErrorCode::MergeRowChanged);
    EXPECT_EQ(planning.error.file, sources[1].path);
    sources[1].content.reset();  // never loaded
    EXPECT_EQ(compose::PlanMerge(sources, {}, folder).error.code, ErrorCode::MergeLoading);

    // A plan that cannot be sized (no tiles at all) fails rather than writing an empty map.
    sources = SourcesOf({Write(dir, "c.jnx", Area(3, {2}, 1)), Write(dir, "d.jnx", Area(3, {1}, 9))});
    for (auto& s : sources) {
        s.totalTiles = 0;
        for (auto& level : s.content->Levels) level.TileCount = 0;
    }
    planning = compose::PlanMerge(sources, {}, folder);
    EXPECT_EQ(planning.outcome, Outcome::Failed);
    EXPECT_EQ(planning.error.code, ErrorCode::MergeNothing);
}

TEST(MergePlan, MapBlockThatCannotBePaddedFails) {
    fixture::TempDir dir;
    const std::vector<std::string> paths{Write(dir, "a.jnx", Area(3, {1}, 1)),
                                         Write(dir, "b.jnx", Area(3, {1}, 5))};
    const auto blockLength = [](const compose::MergePlan& plan) {
        return jnx::MapBlockLength(plan.MapInfo, plan.LevelInfos);
    };
    compose::MergePlan plan = PlanOk(paths, dir.path());
    const std::int64_t room = 1024 - blockLength(plan);
    EditorValues request;
    request.txtFamiliGroup = std::string(std::size_t(jnx::TextLength(plan.MapInfo.GroupName) + room - 1), 'g');
    plan = PlanOk(paths, dir.path(), request);
    EXPECT_EQ(blockLength(plan), 1023);
    WritePlan(plan);

    request.txtFamiliGroup += "g";  // 1024 bytes
    const MergePlanning planning = Plan(paths, request, dir.file("none"));
    EXPECT_EQ(planning.outcome, Outcome::Failed);
    EXPECT_EQ(planning.error.code, ErrorCode::MergeBlockOverflow);
    EXPECT_FALSE(std::filesystem::exists(dir.file("none")));
}

}  // namespace
