// fit, through the operation and the command line, on maps built here with real
// JPEG tiles: what it mends must decode to the source's pixels and pass the
// device check.
#include <gtest/gtest.h>

#include <tuple>

#include "check/device_check.h"
#include "operations/fit_map.h"
#include "support/jnx_builder.h"
#include "support/jpeg_pictures.h"
#include "support/run_program.h"
#include "support/writer_support.h"

namespace {

using fixture::Bytes;
using operations::FitOutcome;
using operations::FitRepair;
using platform::ErrorCode;

constexpr std::int32_t kSpan = 1 << 20, kNorth = 100 << 20, kWest = 10 << 20;
constexpr int kSide = 32;

fixture::TileRecipe GridTile(const Bytes& jpeg, int col, int row, bool keepSoi = false) {
    return {keepSoi ? jpeg : Bytes(jpeg.begin() + 2, jpeg.end()),
            {kNorth - row * kSpan, kWest + (col + 1) * kSpan, kNorth - (row + 1) * kSpan, kWest + col * kSpan},
            {kSide, 0, kSide, 0}};
}

struct Sources {
    std::vector<Bytes> grid;  // level 2, row by row, 5 x 4 less the tile at column 1, row 1
    Bytes progressive, withSoi;
};

// Level 1: a progressive tile and one that keeps its FF D8. Level 2: 19 tiles,
// over a budget of 16. The product ID's copy is stale and the draw order out of
// range.
fixture::JnxRecipe UnfitMap(Sources& sources, int otherQualityAt = -1) {
    fixture::JnxRecipe recipe;
    recipe.bounds = {kNorth, kWest + 5 * kSpan, kNorth - 4 * kSpan, kWest};
    recipe.drawOrder = 150;
    sources.progressive = fixture::Encode(kSide, kSide, 1, {3, 2, 2, 75, true});
    sources.withSoi = fixture::Encode(kSide, kSide, 2, {});
    recipe.levels.resize(2);
    recipe.levels[0].tiles = {GridTile(sources.progressive, 0, 0), GridTile(sources.withSoi, 1, 0, true)};
    recipe.levels[1].scale = 2000, recipe.levels[1].zoom = 2;
    for (int i = 0; i < 20; ++i) {
        if (i == 6) continue;
        sources.grid.push_back(fixture::Encode(kSide, kSide, i, {3, 2, 2, i == otherQualityAt ? 60 : 75, false}));
        recipe.levels[1].tiles.push_back(GridTile(sources.grid.back(), i % 5, i / 5));
    }
    return recipe;
}

Bytes StoredImage(const jnx::JnxDocument& doc, const Bytes& file, std::size_t tile) {
    const auto at = file.begin() + std::ptrdiff_t(doc.Tiles[tile].DataOffset);
    return fixture::WithSoi(Bytes(at, at + doc.Tiles[tile].DataSize));
}

bool Has(const FitOutcome& outcome, FitRepair::Kind kind, std::int64_t after) {
    for (const auto& r : outcome.repairs)
        if (r.kind == kind && r.after == after) return true;
    return false;
}

TEST(FitMap, MendsEveryFindingAndKeepsEveryPixel) {
    fixture::TempDir dir;
    Sources sources;
    fixture::WriteBytes(dir.file("unfit.jnx"), fixture::BuildJnx(UnfitMap(sources)).bytes);
    operations::FitRequest request;
    request.source = dir.file("unfit.jnx");
    request.tilesPerLevel = 16;
    const FitOutcome outcome = operations::FitMap(request);
    ASSERT_EQ(outcome.result, FitOutcome::Result::Written) << platform::ErrorText(outcome.error);
    EXPECT_EQ(outcome.output, dir.file("unfit_fit.jnx"));
    EXPECT_TRUE(outcome.left.empty());
    EXPECT_TRUE(Has(outcome, FitRepair::Kind::JoinedLevel, 6));
    EXPECT_TRUE(Has(outcome, FitRepair::Kind::Baseline, 1) && Has(outcome, FitRepair::Kind::StrippedSoi, 1));
    EXPECT_TRUE(Has(outcome, FitRepair::Kind::DrawOrder, 100));
    EXPECT_TRUE(check::CheckMapFile(outcome.output, true).findings.empty());

    const jnx::JnxDocument doc = fixture::ReadFull(outcome.output);
    const Bytes file = fixture::ReadBytes(outcome.output);
    ASSERT_EQ(doc.Levels[1].TileCount, 6);
    EXPECT_EQ(
        fixture::Differences(fixture::Decode(StoredImage(doc, file, 0)), fixture::Decode(sources.progressive), 0, 0),
        0);
    EXPECT_EQ(StoredImage(doc, file, 1), sources.withSoi);
    // The first group: the north-west 2 x 2 with its south-east tile missing,
    // filled white.
    const jnx::JnxTile& joined = doc.Tiles[2];
    EXPECT_EQ(joined.TileBounds, (std::array<std::int32_t, 4>{kNorth, kWest + 2 * kSpan, kNorth - 2 * kSpan, kWest}));
    EXPECT_EQ(joined.TileAux, (std::array<std::uint8_t, 4>{2 * kSide, 0, 2 * kSide, 0}));
    const fixture::Picture picture = fixture::Decode(StoredImage(doc, file, 2));
    EXPECT_EQ(fixture::Differences(picture, fixture::Decode(sources.grid[0]), 0, 0), 0);
    EXPECT_EQ(fixture::Differences(picture, fixture::Decode(sources.grid[1]), kSide, 0), 0);
    EXPECT_EQ(fixture::Differences(picture, fixture::Decode(sources.grid[5]), 0, kSide), 0);
    EXPECT_GE(picture.At(kSide + 5, kSide + 5, 0), 253);
    // The east edge's group is one tile wide: it does not reach past the map.
    EXPECT_EQ(doc.Tiles[4].TileBounds,
              (std::array<std::int32_t, 4>{kNorth, kWest + 5 * kSpan, kNorth - 2 * kSpan, kWest + 4 * kSpan}));

    const auto before = dir.list();
    operations::FitRequest again;
    again.source = outcome.output;
    EXPECT_EQ(operations::FitMap(again).result, FitOutcome::Result::Ready);
    EXPECT_EQ(operations::FitMap(request).error.code, ErrorCode::OutputExists);
    EXPECT_EQ(dir.list(), before);
    request.overwrite = true;
    EXPECT_EQ(operations::FitMap(request).result, FitOutcome::Result::Written);
    request.output = request.source;
    EXPECT_EQ(operations::FitMap(request).error.code, ErrorCode::OutputIsSource);
}

TEST(FitCli, WritesOnceThenSaysTheMapIsReady) {
    fixture::TempDir dir;
    Sources sources;
    fixture::WriteBytes(dir.file("map.jnx"), fixture::BuildJnx(UnfitMap(sources)).bytes);
    const auto first = fixture::RunProgram(TESSALY_CLI_PATH, {"fit", "--json", dir.file("map.jnx")}, dir.path());
    EXPECT_EQ(first.code, 0) << first.err;
    EXPECT_NE(first.out.find("\"result\": \"written\""), std::string::npos) << first.out;
    const auto again = fixture::RunProgram(
        TESSALY_CLI_PATH,
        {"fit", "--json", "--device", "classic", "--fill", "black", "--reencode", "90", dir.file("map_fit.jnx")},
        dir.path());
    EXPECT_EQ(again.code, 0) << again.err;
    EXPECT_NE(again.out.find("\"ready\": true"), std::string::npos) << again.out;  // scales judged too: warnings only
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"map.jnx", "map_fit.jnx"}));
    const auto refused = fixture::RunProgram(TESSALY_CLI_PATH, {"fit", dir.file("map.jnx")}, dir.path());
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("--overwrite"), std::string::npos) << refused.err;
    const auto failed = fixture::RunProgram(TESSALY_CLI_PATH, {"fit", "--json", dir.file("none.jnx")}, dir.path());
    EXPECT_EQ(failed.code, 1);
    EXPECT_NE(failed.out.find("\"code\": \"cannot_open\""), std::string::npos) << failed.out;
    const auto text = fixture::RunProgram(TESSALY_CLI_PATH, {"fit", "--out", dir.file("b.jnx"), dir.file("map.jnx")}, dir.path());
    EXPECT_EQ(text.out.find(dir.file("map.jnx") + ": written "), 0u) << text.out << text.err;
    std::remove(dir.file("b.jnx").c_str());
    EXPECT_EQ(fixture::RunProgram(TESSALY_CLI_PATH, {"fit", "a.jnx", "b.jnx", "--out", "c.jnx"}, dir.path()).code, 2);

    // Six levels of one zoom and tiles outside the map: nothing fit mends, all of it listed,
    // with what to do where there is something.
    fixture::JnxRecipe crowded = fixture::SimpleRecipe(4, 6, 2);
    crowded.reserved = {0, 7, 0};
    for (auto& level : crowded.levels) level.zoom = 3;
    fixture::WriteBytes(dir.file("six.jnx"), fixture::BuildJnx(crowded).bytes);
    for (const char* format : {"--json", "--overwrite"}) {
        const auto r = fixture::RunProgram(TESSALY_CLI_PATH, {"fit", format, dir.file("six.jnx")}, dir.path());
        EXPECT_EQ(r.code, 1) << r.err;
        EXPECT_EQ(fixture::Occurrences(r.out, "levels_over_5"), 1) << r.out;
        EXPECT_NE(r.out.find("zoom_duplicate"), std::string::npos) << r.out;
    }
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"map.jnx", "map_fit.jnx", "six.jnx"}));
}

// A level whose tables differ stays as it was, said why, while the rest is mended; asked
// to, only the group whose tables differ is decoded and encoded again, and said to be: the
// other groups keep their pixels, and holes take the fill colour.
TEST(FitMap, MixedTablesStayUnlessReencodingIsAsked) {
    fixture::TempDir dir;
    Sources sources;
    fixture::WriteBytes(dir.file("mixed.jnx"), fixture::BuildJnx(UnfitMap(sources, 13)).bytes);
    operations::FitRequest request;
    request.source = dir.file("mixed.jnx");
    request.tilesPerLevel = 16;
    const FitOutcome kept = operations::FitMap(request);
    ASSERT_EQ(kept.result, FitOutcome::Result::Written) << platform::ErrorText(kept.error);
    ASSERT_EQ(std::tuple(kept.notes.size(), kept.left.size(), kept.Ready()), std::tuple(1u, 1u, false));
    EXPECT_EQ(std::tuple(kept.notes[0].code, kept.notes[0].level, kept.left[0].code),
              std::tuple(ErrorCode::JpegJoinMismatch, 2, check::FindingCode::TilesOverLimit));

    request.reencodeQuality = 90, request.overwrite = true;
    request.fill = {0, 0, 0};
    const FitOutcome outcome = operations::FitMap(request);
    ASSERT_EQ(outcome.result, FitOutcome::Result::Written) << platform::ErrorText(outcome.error);
    EXPECT_TRUE(outcome.notes.empty() && outcome.left.empty());
    ASSERT_TRUE(Has(outcome, FitRepair::Kind::JoinedLevel, 6));
    for (const auto& r : outcome.repairs) EXPECT_TRUE(r.kind != FitRepair::Kind::JoinedLevel || r.reencoded == 1);

    const jnx::JnxDocument doc = fixture::ReadFull(outcome.output);
    const Bytes file = fixture::ReadBytes(outcome.output);
    const fixture::Picture lossless = fixture::Decode(StoredImage(doc, file, 2));
    EXPECT_EQ(fixture::Differences(lossless, fixture::Decode(sources.grid[0]), 0, 0), 0);
    EXPECT_LE(lossless.At(kSide + 5, kSide + 5, 0), 2);
    // Columns 2-3, rows 2-3: the group of the tile of another quality.
    const fixture::Picture lossy = fixture::Decode(StoredImage(doc, file, 6));
    ASSERT_EQ(lossy.width, 2 * kSide);
    EXPECT_GT(fixture::Differences(lossy, fixture::Decode(sources.grid[11]), 0, 0), 0);

    EXPECT_EQ(fixture::RunProgram(TESSALY_CLI_PATH, {"fit", "--reencode", "0", request.source}, dir.path()).code, 2);
}

// A level still over the limit when joined 4 x 4 is cut into volumes as an
// import cuts them; each reads back within the limit with its pixels.
TEST(FitMap, ALevelStillOverTheLimitBecomesVolumes) {
    fixture::TempDir dir;
    fixture::JnxRecipe recipe;
    recipe.bounds = {kNorth, kWest + 9 * kSpan, kNorth - kSpan, kWest};
    recipe.levels.resize(1);
    std::vector<Bytes> row;
    for (int col = 0; col < 9; ++col) {
        row.push_back(fixture::Encode(kSide, kSide, col, {}));
        recipe.levels[0].tiles.push_back(GridTile(row.back(), col, 0));
    }
    fixture::WriteBytes(dir.file("row.jnx"), fixture::BuildJnx(recipe).bytes);
    operations::FitRequest request;
    request.source = dir.file("row.jnx");
    request.output = dir.file("out.jnx");
    request.tilesPerLevel = 2;
    const FitOutcome outcome = operations::FitMap(request);
    ASSERT_EQ(outcome.result, FitOutcome::Result::Written) << platform::ErrorText(outcome.error);
    EXPECT_TRUE(outcome.left.empty());
    ASSERT_EQ(outcome.outputs, (std::vector<std::string>{dir.file("out_Part01.jnx"), dir.file("out_Part02.jnx")}));
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"out_Part01.jnx", "out_Part02.jnx", "row.jnx"}));
    std::vector<std::int32_t> counts;
    for (const std::string& volume : outcome.outputs) {
        const jnx::JnxDocument doc = fixture::ReadFull(volume);
        counts.push_back(doc.Levels[0].TileCount);
        const fixture::Picture picture = fixture::Decode(StoredImage(doc, fixture::ReadBytes(volume), 0));
        const int firstCol = (doc.Tiles[0].TileBounds[3] - kWest) / kSpan;
        for (int c = 0; c < picture.width / kSide; ++c)
            EXPECT_EQ(fixture::Differences(picture, fixture::Decode(row[std::size_t(firstCol + c)]), c * kSide, 0), 0);
    }
    EXPECT_EQ(counts, (std::vector<std::int32_t>{2, 1}));
    EXPECT_EQ(operations::FitMap(request).error.code, ErrorCode::OutputExists);
}

}  // namespace
