// Batch save, delete and split over folders of fixture files, checked by reading the
// results back and by listing the folder afterwards (hidden temporary names included).
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>

#include "batch/batch_commands.h"
#include "batch/folder_scan.h"
#include "jnx/reader.h"
#include "support/jnx_builder.h"

namespace platform {
// A failed check names the code, not its bytes.
void PrintTo(ErrorCode code, std::ostream* os) { *os << ErrorTemplate(code); }
}  // namespace platform

namespace {

using batch::BatchTable;
using batch::RowResult;
using edit::EditorValues;
using fixture::Bytes;
using platform::ErrorCode;
using Files = std::vector<std::string>;

const std::vector<settings::ZoomLevelEntry> kZooms = {{"Z200", 200, 300}, {"Z4000", 4000, 5000}};

fixture::JnxRecipe Recipe(int version, int levels, int seedShift = 0) {
    fixture::JnxRecipe recipe = fixture::SimpleRecipe(version, levels, 3);
    for (int i = 0; i < levels; ++i) recipe.levels[std::size_t(i)].scale = 1000 + 111 * i + seedShift;
    return recipe;
}

void Write(const fixture::TempDir& dir, const std::string& name, const fixture::JnxRecipe& recipe) {
    fixture::WriteBytes(dir.file(name), fixture::BuildJnx(recipe).bytes);
}

BatchTable Load(const fixture::TempDir& dir) {
    BatchTable table;
    EXPECT_TRUE(batch::LoadFolder(table, dir.path(), kZooms, false).ok);
    return table;
}

batch::BatchRow& Row(BatchTable& table, const std::string& name) {
    for (auto& row : table.rows) {
        if (row.FileName() == name) return row;
    }
    throw std::runtime_error("no row " + name);
}

jnx::JnxDocument ReadFull(const std::string& path) {
    jnx::JnxDocument doc;
    std::int32_t total = 0;
    std::string error;
    EXPECT_TRUE(jnx::ReadJnx(doc, path, total, error, true)) << path << ": " << error;
    return doc;
}

// The stored images of one level (0-based), or of every level.
std::vector<Bytes> Images(const std::string& path, int level = -1) {
    const jnx::JnxDocument doc = ReadFull(path);
    const Bytes file = fixture::ReadBytes(path);
    std::vector<Bytes> images;
    for (std::size_t k = 0; k < doc.Levels.size(); ++k) {
        if (level >= 0 && int(k) != level) continue;
        const std::size_t first = doc.FirstTileOf(k);
        for (std::size_t t = first; t < first + std::size_t(doc.Levels[k].TileCount); ++t) {
            const auto& tile = doc.Tiles[t];
            images.emplace_back(file.begin() + tile.DataOffset, file.begin() + tile.DataOffset + tile.DataSize);
        }
    }
    return images;
}

std::map<std::string, Bytes> Snapshot(const fixture::TempDir& dir) {
    std::map<std::string, Bytes> files;
    for (const auto& name : dir.list()) files[name] = fixture::ReadBytes(dir.file(name));
    return files;
}

// updated, created, extracted, deleted, errors
std::array<int, 5> Counts(const batch::BatchSummary& s) {
    return {s.updated, s.created, s.extracted, s.deleted, s.errors};
}

class Progress : public batch::BatchObserver {
public:
    void Started(int count) override { total = count; }
    void FileDone(int done) override { steps.push_back(done); }
    int total = -1;
    std::vector<int> steps;
};

// ---------------------------------------------------------------------------------------
// Save.

// A version 3 file that must be regenerated for version 4, and a clean version 4 file of
// seven levels that is patched in place; the regenerated file goes beside its source or,
// with chkRemoveOld, over it. Each run also tries one draw-order rule.
class BatchSaveMixed : public ::testing::TestWithParam<bool> {};

TEST_P(BatchSaveMixed, PatchesInPlaceAndRegeneratesInOneRun) {
    const bool replace = GetParam();
    fixture::TempDir dir;
    Write(dir, "a.jnx", Recipe(3, 2));
    Write(dir, "b.jnx", Recipe(4, 7));
    const Bytes v3Before = fixture::ReadBytes(dir.file("a.jnx"));
    const std::vector<Bytes> v3Images = Images(dir.file("a.jnx")), v4Images = Images(dir.file("b.jnx"));
    BatchTable table = Load(dir);
    batch::SelectAll(table);
    EditorValues request;
    request.txtProductID = "42";
    request.cboNivel[0] = 5000;
    request.chkSplitOPriority[0] = true;
    request.cboActualizar = 4;
    request.chkRemoveOld = replace;
    request.txtDrawOrder = replace ? " 17 " : "";
    Progress progress;

    const auto summary = batch::BatchSave(table, request, {}, &progress);
    ASSERT_FALSE(summary.Refused()) << platform::ErrorText(summary.refusal);
    EXPECT_EQ(Counts(summary), (std::array{1, 1, 0, 0, 0}));
    const std::string created = dir.file(replace ? "a.jnx" : "a_new.jnx");
    ASSERT_EQ(summary.rows.size(), 2u);
    EXPECT_EQ(summary.rows[0].result, RowResult::Created);
    EXPECT_EQ(summary.rows[0].output, created);
    EXPECT_EQ(summary.rows[1].result, RowResult::Updated);
    EXPECT_EQ(progress.total, 2);
    EXPECT_EQ(progress.steps, (std::vector<int>{1, 2}));
    // Over the source no temporary name is left behind.
    EXPECT_EQ(dir.list(), replace ? (Files{"a.jnx", "b.jnx"}) : (Files{"a.jnx", "a_new.jnx", "b.jnx"}));
    EXPECT_EQ(fixture::ReadBytes(dir.file("a.jnx")) == v3Before, !replace);

    const auto regenerated = ReadFull(created);
    EXPECT_EQ(regenerated.Header.Version, 4);
    EXPECT_EQ(regenerated.Header.DrawOrder, replace ? 17 : 25);
    EXPECT_EQ(regenerated.Header.ProductId, 42);
    EXPECT_EQ(regenerated.Levels[0].Scale, 4999);
    EXPECT_TRUE(Images(created) == v3Images);

    const auto patched = ReadFull(dir.file("b.jnx"));
    EXPECT_EQ(patched.Header.ProductId, 42);
    EXPECT_EQ(patched.Header.DrawOrder, replace ? 17 : 30);
    std::vector<std::int32_t> scales;
    for (const auto& level : patched.Levels) scales.push_back(level.Scale);
    // Levels beyond the fifth have no controls and keep their own scale.
    EXPECT_EQ(scales, (std::vector<std::int32_t>{4999, 1111, 1222, 1333, 1444, 1555, 1666}));
    EXPECT_TRUE(Images(dir.file("b.jnx")) == v4Images);
}

INSTANTIATE_TEST_SUITE_P(Output, BatchSaveMixed, ::testing::Bool(),
                         [](const auto& param) { return param.param ? "OverTheSource" : "BesideTheSource"; });

// One run over rows that each meet another case. Every row is checked alike: its code,
// the file it wrote (the request's product ID, the source's images), or else its file as it was.
TEST(BatchSave, EveryRowOnItsOwn) {
    struct Case {
        const char* file;
        int version;
        const char* newName;  // the edited Filename; nullptr keeps it
        ErrorCode code;
        const char* output;  // nullptr: nothing written
    };
    const std::vector<Case> cases = {
        {"a.jnx", 4, "renamed.JNX", ErrorCode::None, "renamed.JNX"},
        {"c.jnx", 3, "ignored.jnx", ErrorCode::None, "c_new.jnx"},  // regenerated: the name stays
        {"d.jnx", 4, "sub/x.jnx", ErrorCode::RowNameHasSeparator, nullptr},
        {"e.jnx", 4, "f.jnx", ErrorCode::RowNameTaken, nullptr},
        {"g.jnx", 4, "G.JNX", ErrorCode::None, "g.jnx"},  // letter case only: no rename
        // A dangling link passes for a free name; the rename itself must still refuse it.
        {"h.jnx", 4, "link.jnx", ErrorCode::RowUpdatedNotRenamed, "h.jnx"},
        {"i.jnx", 4, nullptr, ErrorCode::RowChanged, nullptr},     // lost its map block since the load
        {"j.jnx", 4, nullptr, ErrorCode::RowCannotRead, nullptr},  // gone since the load
        {"k.jnx", 4, nullptr, ErrorCode::RowChanged, nullptr},     // of version 3 since the load
        {"l.jnx", 3, nullptr, ErrorCode::RowCannotRead, nullptr},  // a bad trailer fails only the full read
    };
    fixture::TempDir dir;
    for (const auto& c : cases) Write(dir, c.file, Recipe(c.version, 2));
    Write(dir, "f.jnx", Recipe(4, 1, 5));
    auto badTrailer = Recipe(3, 2);
    badTrailer.trailer = {'N', 'o', 'p', 'e'};
    Write(dir, "l.jnx", badTrailer);
    std::map<std::string, std::vector<Bytes>> images;
    for (const auto& c : cases) {
        if (c.output) images[c.file] = Images(dir.file(c.file));
    }
    BatchTable table = Load(dir);
    batch::SelectAll(table);
    Row(table, "f.jnx").SetChecked(false);
    for (const auto& c : cases) {
        if (c.newName) Row(table, c.file)[batch::kFilename] = c.newName;
    }
    auto noBlock = Recipe(4, 2);
    noBlock.withMapBlock = false;
    noBlock.gap = 1024;
    Write(dir, "i.jnx", noBlock);
    std::filesystem::remove(dir.file("j.jnx"));
    Write(dir, "k.jnx", Recipe(3, 2));
    const auto before = Snapshot(dir);
    std::filesystem::create_symlink(dir.file("nowhere"), dir.file("link.jnx"));
    EditorValues request;
    request.txtProductID = "9";
    request.cboActualizar = 4;

    const auto summary = batch::BatchSave(table, request, {});
    ASSERT_FALSE(summary.Refused()) << platform::ErrorText(summary.refusal);
    EXPECT_EQ(Counts(summary), (std::array{2, 1, 0, 0, 7}));
    ASSERT_EQ(summary.rows.size(), cases.size());
    for (std::size_t r = 0; r < cases.size(); ++r) {
        const Case& c = cases[r];
        EXPECT_EQ(summary.rows[r].error.code, c.code) << c.file;
        EXPECT_EQ(summary.rows[r].output, c.output ? dir.file(c.output) : "") << c.file;
        if (c.output) {
            EXPECT_EQ(ReadFull(dir.file(c.output)).Header.ProductId, 9) << c.file;
            EXPECT_TRUE(Images(dir.file(c.output)) == images[c.file]) << c.file;
        } else if (before.count(c.file)) {
            EXPECT_EQ(fixture::ReadBytes(dir.file(c.file)), before.at(c.file)) << c.file;
        }
    }
    EXPECT_EQ(dir.list(), (Files{"c.jnx", "c_new.jnx", "d.jnx", "e.jnx", "f.jnx", "g.jnx", "h.jnx", "i.jnx", "k.jnx",
                                 "l.jnx", "link.jnx", "renamed.JNX"}));
}

TEST(BatchSave, ValidationRefusalsTouchNoFile) {
    fixture::TempDir dir;
    Write(dir, "a.jnx", Recipe(3, 2));
    Write(dir, "b.jnx", Recipe(4, 2));
    fixture::WriteBytes(dir.file("broken.jnx"), {3, 0, 0});
    BatchTable good = Load(dir);
    Row(good, "a.jnx").SetChecked(true);
    Row(good, "b.jnx").SetChecked(true);
    const auto before = Snapshot(dir);
    EditorValues request;
    request.txtProductID = "5";
    request.cboActualizar = 4;

    using Change = std::function<void(BatchTable&, EditorValues&)>;
    const auto name = [](const char* text) -> Change {
        return [=](BatchTable& t, EditorValues&) { Row(t, "b.jnx")[batch::kFilename] = text; };
    };
    const std::vector<std::pair<Change, ErrorCode>> cases = {
        {[](BatchTable& t, EditorValues&) { t = BatchTable{}; }, ErrorCode::RefuseNoFolder},
        {[](BatchTable& t, EditorValues&) { batch::SelectNone(t); }, ErrorCode::RefuseNoneChecked},
        {[](BatchTable& t, EditorValues&) { batch::SelectAll(t); }, ErrorCode::RefuseErroneousChecked},
        {name("  "), ErrorCode::RefuseInvalidFilename},
        {name("b.txt"), ErrorCode::RefuseInvalidFilename},
        {name("b.jnx.bak"), ErrorCode::RefuseInvalidFilename},
        {name("b"), ErrorCode::RefuseInvalidFilename},
        {[](BatchTable&, EditorValues& r) { r.txtDrawOrder = "12a"; }, ErrorCode::RefuseBadDrawOrder},
        {[](BatchTable&, EditorValues& r) { r.txtDrawOrder = "99999999999"; }, ErrorCode::RefuseBadDrawOrder},
        {[](BatchTable&, EditorValues& r) { r.txtProductID = "40000"; }, ErrorCode::BadProductId},
        {[](BatchTable&, EditorValues& r) { r.txtProductID = "x"; }, ErrorCode::BadProductId},
        {[](BatchTable&, EditorValues& r) { r.cboActualizar = 5; }, ErrorCode::BadTargetVersion},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        BatchTable table = good;
        EditorValues values = request;
        cases[i].first(table, values);
        const auto summary = batch::BatchSave(table, values, {});
        EXPECT_EQ(summary.refusal.code, cases[i].second) << "case " << i;
        EXPECT_TRUE(summary.rows.empty());
        EXPECT_EQ(Snapshot(dir), before);
    }
}

TEST(BatchSave, HeadlessRunOverPaths) {
    fixture::TempDir dir;
    Write(dir, "a.jnx", Recipe(4, 1));
    Write(dir, "c.jnx", Recipe(3, 1));
    EditorValues request;
    auto summary = batch::SaveFilesAsBatch({dir.file("a.jnx")}, "moved.jnx", request, {});
    EXPECT_EQ(Counts(summary), (std::array{1, 0, 0, 0, 0}));
    EXPECT_EQ(dir.list(), (Files{"c.jnx", "moved.jnx"}));

    summary = batch::SaveFilesAsBatch({dir.file("c.jnx"), dir.file("moved.jnx")}, "x.jnx", request, {});
    EXPECT_EQ(summary.refusal.code, ErrorCode::RefuseInvalidFilename);

    request.cboActualizar = 4;
    request.chkRemoveOld = true;
    summary = batch::SaveFilesAsBatch({dir.file("c.jnx")}, "ignored.jnx", request, {});
    EXPECT_EQ(Counts(summary), (std::array{0, 1, 0, 0, 0}));
    EXPECT_EQ(dir.list(), (Files{"c.jnx", "moved.jnx"}));
    EXPECT_EQ(ReadFull(dir.file("c.jnx")).Header.Version, 4);

    summary = batch::SaveFilesAsBatch({dir.file("missing.jnx")}, "", request, {});
    EXPECT_EQ(summary.refusal.code, ErrorCode::RefuseErroneousChecked);
}

// ---------------------------------------------------------------------------------------
// Delete and split.

TEST(BatchDelete, RemovesCheckedFilesAndRows) {
    fixture::TempDir dir;
    Write(dir, "a.jnx", Recipe(4, 1));
    Write(dir, "b.jnx", Recipe(4, 1));
    fixture::WriteBytes(dir.file("c.jnx"), {9});
    BatchTable table = Load(dir);
    EXPECT_EQ(batch::BatchDelete(table).refusal.code, ErrorCode::RefuseNothingToDelete);
    EXPECT_EQ(dir.list().size(), 3u);

    Row(table, "a.jnx").SetChecked(true);
    table.rows[2].SetChecked(true);  // the erroneous row may be deleted
    EXPECT_EQ(Counts(batch::BatchDelete(table)), (std::array{0, 0, 0, 2, 0}));
    EXPECT_EQ(dir.list(), (Files{"b.jnx"}));
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table.rows[0].FileName(), "b.jnx");
}

TEST(BatchSplit, TickedLevelsOfEveryCheckedFileUpToTheFifth) {
    fixture::TempDir dir;
    Write(dir, "MAP.jnx", Recipe(4, 7));
    Write(dir, "B.jnx", Recipe(3, 2));
    BatchTable table = Load(dir);
    batch::SelectAll(table);
    EditorValues request;
    request.chkSplitOPriority = {true, false, true, false, true};
    const auto before = Snapshot(dir);
    Progress progress;

    const auto summary = batch::BatchSplit(table, request, {}, {}, &progress);
    ASSERT_FALSE(summary.Refused()) << platform::ErrorText(summary.refusal);
    EXPECT_EQ(Counts(summary), (std::array{0, 0, 4, 0, 0}));
    EXPECT_EQ(progress.steps, (std::vector<int>{1, 2}));
    // Levels beyond the fifth have no box and are passed over.
    EXPECT_EQ(dir.list(),
              (Files{"B.jnx", "B_Level1.jnx", "MAP.jnx", "MAP_Level1.jnx", "MAP_Level3.jnx", "MAP_Level5.jnx"}));
    for (const auto& [name, bytes] : before) EXPECT_EQ(fixture::ReadBytes(dir.file(name)), bytes) << name;
    for (int k : {1, 3, 5}) {
        const std::string level = dir.file("MAP_Level" + std::to_string(k) + ".jnx");
        EXPECT_EQ(ReadFull(level).Header.LevelCount, 1);
        EXPECT_TRUE(Images(level) == Images(dir.file("MAP.jnx"), k - 1)) << k;
    }
    EXPECT_TRUE(Images(dir.file("B_Level1.jnx")) == Images(dir.file("B.jnx"), 0));
}

TEST(BatchSplit, Refusals) {
    fixture::TempDir dir;
    Write(dir, "one.jnx", Recipe(4, 1));
    Write(dir, "two.jnx", Recipe(4, 2));
    fixture::WriteBytes(dir.file("zz.jnx"), {1});
    BatchTable table = Load(dir);
    EditorValues request;
    request.chkSplitOPriority[0] = true;
    const auto refusal = [&](const BatchTable& t) { return batch::BatchSplit(t, request, {}, {}).refusal.code; };
    EXPECT_EQ(refusal(BatchTable{}), ErrorCode::RefuseNoFolder);
    EXPECT_EQ(refusal(table), ErrorCode::RefuseNoneChecked);
    table.rows[2].SetChecked(true);
    EXPECT_EQ(refusal(table), ErrorCode::RefuseErroneousChecked);
    table.rows[2].SetChecked(false);
    Row(table, "one.jnx").SetChecked(true);
    Row(table, "two.jnx").SetChecked(true);
    EXPECT_EQ(refusal(table), ErrorCode::RefuseSingleLevelSplit);
    request.chkSplitOPriority[0] = false;
    EXPECT_EQ(refusal(table), ErrorCode::RefuseNothingToSplit);
    request.chkSplitOPriority[0] = request.chkSplitOPriority[1] = true;
    request.txtProductID = "70000";
    EXPECT_EQ(refusal(table), ErrorCode::BadProductId);
    EXPECT_EQ(dir.list().size(), 3u);

    // With two boxes ticked the one-level file passes and gives its level 1.
    request.txtProductID.clear();
    EXPECT_EQ(Counts(batch::BatchSplit(table, request, {}, {})), (std::array{0, 0, 3, 0, 0}));
    EXPECT_EQ(dir.list(),
              (Files{"one.jnx", "one_Level1.jnx", "two.jnx", "two_Level1.jnx", "two_Level2.jnx", "zz.jnx"}));
}

}  // namespace
