// The merge: plans checked against the files chosen, and merged files read back tile by
// tile; a merge that fails on the way leaves no file of its own.
#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "check/device_check.h"
#include "compose/merge_plan.h"
#include "compose/merge_write.h"
#include "jnx/codec.h"
#include "support/writer_support.h"

namespace {

using compose::MergePlanning;
using edit::EditRequest;
using fixture::Bytes;
using fixture::JnxRecipe;
using fixture::Put;
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
        level.name = "L" + std::to_string(seedBase + int(i));
        level.copyright = std::string(i + 1, 'c');  // table entries of differing lengths
        for (int j = 0; j < tilesPerLevel[i]; ++j, ++seed)
            level.tiles.push_back(
                {fixture::MakeTileData(seed, 16 + std::size_t(seed % 7) * 13), {seed, -seed, 2 * seed, 3}});
    }
    return recipe;
}

MergePlanning Plan(const std::vector<std::string>& paths, const EditRequest& request, const std::string& folder) {
    return compose::PlanMerge(fixture::MergeSourcesOf(paths), request, compose::MergeFolderRule{"", folder});
}

compose::MergePlan PlanOk(const std::vector<std::string>& paths, const std::string& folder,
                          const EditRequest& request = {}) {
    MergePlanning planning = Plan(paths, request, folder);
    EXPECT_EQ(planning.outcome, Outcome::Planned) << platform::ErrorText(planning.error);
    return std::move(planning.plan);
}

// Writes the plan stamped 2024-01-31 15:45:02 (or by the clock) and gives the published
// path. Without failure the write must succeed; with it, the caller checks the error.
std::string WritePlan(const compose::MergePlan& plan, platform::Error* failure = nullptr, bool clock = false) {
    compose::MergeWriteOptions options;
    if (!clock) {
        std::tm& t = options.stamp.emplace();
        t.tm_year = 124, t.tm_mday = 31, t.tm_hour = 15, t.tm_min = 45, t.tm_sec = 2;
    }
    jnx::JnxDocument doc;
    std::string path;
    platform::Error error;
    EXPECT_EQ(compose::WriteMerge(plan, doc, path, error, nullptr, options), failure == nullptr)
        << platform::ErrorText(error);
    if (failure) *failure = error;
    return path;
}

std::vector<std::int32_t> Scales(const std::vector<jnx::JnxLevel>& levels) {
    std::vector<std::int32_t> scales;
    for (const auto& level : levels) scales.push_back(level.Scale);
    return scales;
}

std::vector<std::string> FilesIn(const std::string& folder) { return fixture::Names(fixture::TakeSnapshot(folder)); }

// expectedDrawOrder: what a read gives; version 3 stores none.
struct RoundTrip { const char* name; int versionA, versionB; bool withBlock; std::optional<int> target;
                   std::optional<std::int16_t> drawOrder; int expectedDrawOrder; };

void PrintTo(const RoundTrip& p, std::ostream* os) { *os << p.name; }

class MergeRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(MergeRoundTrip, EveryLevelKeepsItsTilesInPlannedOrder) {
    const RoundTrip& p = GetParam();
    fixture::TempDir dir;
    JnxRecipe a = Area(p.versionA, {3, 2}, 1, {300, 200}), b = Area(p.versionB, {4}, 50, {200});
    a.withMapBlock = b.withMapBlock = p.withBlock;
    a.productId = 11, b.productId = 12, b.mapTitle = "Other title";
    a.groupName = "First group", b.groupName = "Second group";
    a.drawOrder = b.drawOrder = 60;  // a merged file starts afresh
    // Producers that store images out of table order, or sign their files, merge the same.
    b.reverseDataOrder = true, a.signature = Bytes(37, 0x5A);
    EditRequest request;
    request.targetVersion = p.target, request.drawOrder = p.drawOrder;
    const std::string output =
        WritePlan(PlanOk({Put(dir, "a.jnx", a), Put(dir, "b.jnx", b)}, dir.file("MERGED"), request));
    EXPECT_EQ(output, dir.file("MERGED") + "/20240131154502join.jnx");
    EXPECT_EQ(FilesIn(dir.file("MERGED")), std::vector<std::string>{"20240131154502join.jnx"});
    EXPECT_EQ(fixture::TilesIn(output), fixture::TilesOf({a, b}));
    const jnx::JnxDocument doc = fixture::ReadFull(output);
    EXPECT_EQ(doc.Header.Bounds, a.bounds);
    EXPECT_EQ(std::tuple(doc.Header.Version, doc.Header.ProductId, doc.Header.DrawOrder),
              std::tuple(p.target.value_or(p.versionA), 11, p.expectedDrawOrder));
    // A level of the second file with a scale the first already has is kept, not sorted or dropped.
    EXPECT_EQ(Scales(doc.Levels), (std::vector<std::int32_t>{300, 200, 200}));
    EXPECT_FALSE(doc.NeedsRegeneration);
    // The tables right after the 1024-byte block, the images right after the last table.
    EXPECT_EQ(std::pair(std::int64_t(doc.Levels[0].TableOffset), std::int64_t(doc.Tiles[0].DataOffset)),
              std::pair(doc.BlockStart + 1024, std::int64_t(doc.Levels[2].TableOffset) + 28 * 4));
    if (p.withBlock) {  // the first file's block, each level's own texts
        const auto text = [](const jnx::Bytes& stored) { return jnx::DecodeText(stored, true); };
        EXPECT_EQ(std::tuple(text(doc.MapInfo.MapTitle), text(doc.MapInfo.MapGuid), text(doc.MapInfo.GroupName),
                             text(doc.LevelInfos[1].Name), text(doc.LevelInfos[2].Name)),
                  std::tuple("Test map", a.guid, "First group", a.levels[1].name, b.levels[0].name));
    }
}

// Mixed versions take the version chosen.
INSTANTIATE_TEST_SUITE_P(Versions, MergeRoundTrip,
                         ::testing::Values(RoundTrip{"v3_block", 3, 3, true, {}, {}, 25},
                                           RoundTrip{"v3_noblock", 3, 3, false, {}, {}, 25},
                                           RoundTrip{"v4_block", 4, 4, true, {}, {}, 25},
                                           RoundTrip{"v4_noblock", 4, 4, false, {}, {}, 25},
                                           RoundTrip{"mixed_to_v3", 3, 4, true, 3, 40, 25},
                                           RoundTrip{"mixed_to_v4", 4, 3, true, 4, 40, 40}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(MergeWrite, TwoMergesInOneSecondGiveTwoFiles) {
    fixture::TempDir dir;
    const JnxRecipe a = Area(4, {2}, 1), b = Area(4, {1}, 9), c = Area(4, {3}, 20);
    const std::string pa = Put(dir, "a.jnx", a), pb = Put(dir, "b.jnx", b), pc = Put(dir, "c.jnx", c);
    const std::string out = dir.file("out");
    const compose::MergePlan first = PlanOk({pa, pb}, out);
    const std::string w1 = WritePlan(first), w2 = WritePlan(PlanOk({pc, pa}, out));
    EXPECT_EQ(std::pair(w1, w2), std::pair(out + "/20240131154502join.jnx", out + "/20240131154502join-2.jnx"));
    EXPECT_EQ(fixture::TilesIn(w1), fixture::TilesOf({a, b}));
    EXPECT_EQ(fixture::TilesIn(w2), fixture::TilesOf({c, a}));
    // With the real clock too: the second never replaces the first.
    EXPECT_NE(WritePlan(first, nullptr, true), WritePlan(first, nullptr, true));
    EXPECT_EQ(FilesIn(out).size(), 4u);
}

TEST(MergeWrite, SourceChangedAfterPlanningLeavesNoFile) {
    fixture::TempDir dir;
    const std::string pa = Put(dir, "a.jnx", Area(4, {2}, 1)), pb = Put(dir, "b.jnx", Area(4, {3}, 9));
    const compose::MergePlan plan = PlanOk({pa, pb}, dir.file("out"));
    Bytes truncated = fixture::ReadBytes(pb);
    truncated.resize(truncated.size() - 20);  // into the last tile's data: no trailer left
    JnxRecipe moved = Area(4, {3}, 9);
    moved.bounds[0] += 1;
    const std::vector<std::pair<Bytes, ErrorCode>> cases = {
        {truncated, ErrorCode::MergeLoadingFull},
        {fixture::BuildJnx(Area(4, {4}, 9)).bytes, ErrorCode::MergeSourceChanged},     // grown
        {fixture::BuildJnx(moved).bytes, ErrorCode::MergeSourceChanged},               // another area
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        fixture::WriteBytes(pb, cases[i].first);
        platform::Error error;
        EXPECT_EQ(WritePlan(plan, &error), "") << "case " << i;
        EXPECT_EQ(std::pair(error.code, error.file), std::pair(cases[i].second, pb)) << "case " << i;
        EXPECT_TRUE(FilesIn(dir.file("out")).empty()) << "case " << i;
    }
}

// The request's per-level choices count over the merged file's levels; the values
// themselves follow the save's rules (tested with the resolution).
TEST(MergePlan, RequestValuesOverWhatTheFirstFileGives) {
    fixture::TempDir dir;
    JnxRecipe a = Area(4, {1, 1}, 1, {100, 200}), b = Area(4, {1}, 9, {150});
    a.groupName = "First group", b.groupName = "Second group";
    const std::vector<std::string> paths{Put(dir, "a.jnx", a), Put(dir, "b.jnx", b)};
    EditRequest request;
    request.groupName = "Joined", request.productId = -32768;
    request.levels[0].scale = 1000, request.levels[2].scale = 50000, request.levels[2].priority = true;
    const compose::MergePlan plan = PlanOk(paths, dir.path(), request);
    EXPECT_EQ(std::tuple(plan.MapInfo.GroupName, plan.Header.ProductId),
              std::tuple(jnx::EncodeText("Joined", true), -32768));
    EXPECT_EQ(Scales(plan.Levels), (std::vector<std::int32_t>{1000, 200, 49999}));
    request.groupName.reset();
    EXPECT_EQ(PlanOk(paths, dir.path(), request).MapInfo.GroupName, jnx::EncodeText("First group", true));
    request.targetVersion = 5;  // what the save would refuse is refused before any file is read
    const MergePlanning refused = Plan(paths, request, dir.path());
    EXPECT_EQ(std::pair(refused.outcome, refused.error.code), std::pair(Outcome::Refused, ErrorCode::BadTargetVersion));
}

TEST(MergePlan, OutputFolderRule) {
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"", "/data/maps", "/data/maps"},
        {"$CURRENT\\MERGED", "/data/maps", "/data/maps/MERGED"},
        {"/srv/out/$CURRENT", "/m", "/srv/out//m"},
        {"D:\\joined", "/data/maps", "/data/maps"},         // a drive letter names no folder here
        {"$current", "/data/maps", "/data/maps/$current"},  // matched exactly; relative to the folder shown
    };
    for (const auto& [mergeDir, current, expected] : cases)
        EXPECT_EQ(compose::MergeTargetFolder(compose::MergeFolderRule{mergeDir, current}), expected) << mergeDir;
}

TEST(MergePlan, RefusalsByCodeWriteNothing) {
    fixture::TempDir dir;
    const std::string v4a = Put(dir, "v4a.jnx", Area(4, {1, 1, 1}, 1));
    const std::string v4b = Put(dir, "v4b.jnx", Area(4, {1, 1, 1}, 10));
    const std::string v3 = Put(dir, "v3.jnx", Area(3, {1, 1}, 20));
    JnxRecipe shifted = Area(4, {1}, 30);
    shifted.bounds[3] += 1;
    const std::string moved = Put(dir, "moved.jnx", shifted);
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
        EXPECT_EQ(std::pair(planning.outcome, planning.error.code), std::pair(Outcome::Refused, code));
    }
    EXPECT_EQ(Plan({v4a, v4b}, {}, dir.path()).error.value, 6);
    // The refusal names both files, so the user knows which one to leave out.
    const platform::Error apart = Plan({v4a, moved}, {}, dir.path()).error;
    EXPECT_EQ(std::pair(apart.file, apart.other), std::pair(v4a, moved));
    EXPECT_EQ(dir.list(), before);
    // Five levels pass; a chosen version settles a mix.
    EditRequest v3request;
    v3request.targetVersion = 3;
    EXPECT_EQ(Plan({v4a, v3}, v3request, dir.path()).outcome, Outcome::Planned);
    platform::Error refusal;
    EXPECT_FALSE(compose::ValidateMerge({}, {}, refusal, false));
    EXPECT_EQ(refusal.code, ErrorCode::RefuseNoFolder);
}

TEST(MergePlan, RowThatNoLongerMatchesItsFileFails) {
    fixture::TempDir dir;
    auto sources = fixture::MergeSourcesOf({Put(dir, "a.jnx", Area(3, {2}, 1)), Put(dir, "b.jnx", Area(3, {2, 1}, 9))});
    const compose::MergeFolderRule folder{"", dir.path()};
    sources[1].levelCount = 1, sources[1].totalTiles = 2;  // the scan saw one level
    MergePlanning planning = compose::PlanMerge(sources, {}, folder);
    EXPECT_EQ(std::tuple(planning.outcome, planning.error.code, planning.error.file),
              std::tuple(Outcome::Failed, ErrorCode::MergeRowChanged, sources[1].path));
    sources[1].content.reset();  // never loaded
    EXPECT_EQ(compose::PlanMerge(sources, {}, folder).error.code, ErrorCode::MergeLoading);
    // A plan that cannot be sized (no tiles at all) fails rather than writing an empty map.
    sources = fixture::MergeSourcesOf({Put(dir, "c.jnx", Area(3, {2}, 1)), Put(dir, "d.jnx", Area(3, {1}, 9))});
    for (auto& s : sources) {
        s.totalTiles = 0;
        for (auto& level : s.content->Levels) level.TileCount = 0;
    }
    planning = compose::PlanMerge(sources, {}, folder);
    EXPECT_EQ(std::pair(planning.outcome, planning.error.code), std::pair(Outcome::Failed, ErrorCode::MergeNothing));
}

TEST(MergePlan, MapBlockThatCannotBePaddedFails) {
    fixture::TempDir dir;
    const std::vector<std::string> paths{Put(dir, "a.jnx", Area(3, {1}, 1)), Put(dir, "b.jnx", Area(3, {1}, 5))};
    compose::MergePlan plan = PlanOk(paths, dir.path());
    EditRequest request;  // a group name that leaves the block one byte short of 1024
    request.groupName = std::string(std::size_t(jnx::TextLength(plan.MapInfo.GroupName) + 1023 -
                                                     jnx::MapBlockLength(plan.MapInfo, plan.LevelInfos)), 'g');
    plan = PlanOk(paths, dir.path(), request);
    EXPECT_EQ(jnx::MapBlockLength(plan.MapInfo, plan.LevelInfos), 1023);
    WritePlan(plan);
    *request.groupName += "g";
    const MergePlanning planning = Plan(paths, request, dir.file("none"));
    EXPECT_EQ(std::pair(planning.outcome, planning.error.code),
              std::pair(Outcome::Failed, ErrorCode::MergeBlockOverflow));
    EXPECT_FALSE(std::filesystem::exists(dir.file("none")));
}

// Coarse to fine, each level moves with its tiles, byte for byte, and with its texts; a
// source whose levels end up apart is read again. The order the files give is kept by
// default, and the check notes it without failing the map.
TEST(MergeWrite, CoarseToFineMovesEachLevelWithItsTiles) {
    fixture::TempDir dir;
    JnxRecipe a = Area(4, {2, 3}, 1, {5000, 300}), b = Area(4, {2}, 20, {800}), c = Area(4, {1, 2}, 40, {30000, 3000});
    b.reverseDataOrder = true;
    const auto sources = fixture::MergeSourcesOf({Put(dir, "a.jnx", a), Put(dir, "b.jnx", b), Put(dir, "c.jnx", c)});
    const compose::MergeFolderRule folder{"", dir.file("out")};
    const auto plan = [&](const EditRequest& request) {
        return compose::PlanMerge(sources, request, folder, true, compose::LevelOrder::CoarseToFine).plan;
    };
    const std::string sorted = WritePlan(plan({}));
    const fixture::LevelTiles given = fixture::TilesOf({a, b, c});
    EXPECT_EQ(fixture::TilesIn(sorted), (fixture::LevelTiles{given[3], given[0], given[4], given[2], given[1]}));
    const jnx::JnxDocument doc = fixture::ReadFull(sorted);
    EXPECT_EQ(Scales(doc.Levels), (std::vector<std::int32_t>{30000, 5000, 3000, 800, 300}));
    EXPECT_EQ(
        std::pair(jnx::DecodeText(doc.LevelInfos[2].Name, true), jnx::DecodeText(doc.LevelExtras[4].Copyright, true)),
        std::pair(c.levels[1].name, a.levels[1].copyright));
    const auto orderNotes = [](const std::vector<check::Finding>& findings) {
        std::vector<check::Finding> notes;
        for (const auto& f : findings)
            if (f.code == check::FindingCode::LevelsNotCoarseToFine) notes.push_back(f);
        return notes;
    };
    EXPECT_TRUE(orderNotes(check::CheckStructure(doc)).empty());
    // The request's level numbers count as the files give the levels; the order follows the result.
    EditRequest request;
    request.levels[1].scale = 99999;
    EXPECT_EQ(plan(request).LevelSources.front(), (compose::PlannedLevel{0, 1}));

    const std::string asGiven =
        WritePlan(PlanOk({sources[0].path, sources[1].path, sources[2].path}, folder.currentFolder));
    const check::MapReport report = check::CheckMapFile(asGiven, false);
    const std::vector<check::Finding> notes = orderNotes(report.findings);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(std::tuple(notes[0].level, notes[0].a, notes[0].b, notes[0].c), std::tuple(3, 800, 2, 300));
    EXPECT_EQ(check::SeverityOf(notes[0].code), check::Severity::Info);
    EXPECT_TRUE(report.Ok());
}

}  // namespace
