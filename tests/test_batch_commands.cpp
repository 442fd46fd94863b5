// Batch save, delete and split over folders of fixture files, checked by reading the
// results back and by listing the folder afterwards (hidden temporary names included).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <functional>
#include <map>
#include <stdexcept>

#include "batch/batch_commands.h"
#include "batch/folder_scan.h"
#include "support/ordinary_user.h"
#include "support/writer_support.h"

namespace {

using batch::BatchTable;
using edit::EditRequest;
using fixture::Put;
using fixture::TilesIn;
using platform::ErrorCode;
using Files = std::vector<std::string>;

const std::vector<settings::ZoomLevelEntry> kZooms = {{"Z200", 200, 300}, {"Z4000", 4000, 5000}};

fixture::JnxRecipe Recipe(int version, int levels, int seedShift = 0) {
    fixture::JnxRecipe recipe = fixture::SimpleRecipe(version, levels, 3);
    for (int i = 0; i < levels; ++i) recipe.levels[std::size_t(i)].scale = 1000 + 111 * i + seedShift;
    return recipe;
}

BatchTable Load(const fixture::TempDir& dir) {
    BatchTable table;
    EXPECT_TRUE(batch::LoadFolder(table, dir.path(), kZooms, false).ok);
    return table;
}

std::size_t Index(const BatchTable& table, const std::string& name) {
    for (std::size_t i = 0; i < table.rows.size(); ++i)
        if (table.rows[i].fileName == name) return i;
    throw std::runtime_error("no row " + name);
}

batch::MapRow& Row(BatchTable& table, const std::string& name) { return table.rows[Index(table, name)]; }

// updated, created, extracted, deleted, errors
std::array<int, 5> Counts(const batch::BatchSummary& s) {
    return {s.updated, s.created, s.extracted, s.deleted, s.errors};
}

struct Progress : batch::BatchObserver {
    int total = -1;
    std::vector<int> steps;
    void Started(int count) override { total = count; }
    void FileDone(int done) override { steps.push_back(done); }
};

// One run over rows that each meet another case, the rewritten file beside its source or,
// when the request replaces its source, over it. Every row is checked alike: its code, the file it wrote (the
// request's values, the source's tiles), and every other file as it was.
class BatchSave : public ::testing::TestWithParam<bool> {};

TEST_P(BatchSave, EveryRowOnItsOwn) {
    const bool replace = GetParam();
    // newName: the edited Filename, nullptr keeps it; output: nullptr when nothing is written.
    struct Case { const char* file; int version; const char* newName; ErrorCode code; const char* output; };
    const std::vector<Case> cases = {
        {"a.jnx", 4, "renamed.JNX", ErrorCode::None, "renamed.JNX"},
        {"c.jnx", 3, "ignored.jnx", ErrorCode::None, replace ? "c.jnx" : "c_new.jnx"},  // rewritten: the name stays
        {"d.jnx", 4, "sub/x.jnx", ErrorCode::RowNameHasSeparator, nullptr},
        {"e.jnx", 4, "f.jnx", ErrorCode::RowNameTaken, nullptr},
        {"g.jnx", 4, "G.JNX", ErrorCode::None, "g.jnx"},  // letter case only: no rename
        // A dangling link takes the name: refused before the file is updated.
        {"h.jnx", 4, "link.jnx", ErrorCode::RowNameTaken, nullptr},
        {"i.jnx", 4, nullptr, ErrorCode::RowChanged, nullptr},     // lost its map block since the load
        {"j.jnx", 4, nullptr, ErrorCode::RowCannotRead, nullptr},  // gone since the load
        {"l.jnx", 3, nullptr, ErrorCode::RowCannotRead, nullptr},  // its trailer broken since the load
        {"m.jnx", 4, nullptr, ErrorCode::None, "m.jnx"},           // levels beyond the fifth have no controls
    };
    fixture::TempDir dir;
    for (const auto& c : cases) Put(dir, c.file, Recipe(c.version, 2));
    Put(dir, "f.jnx", Recipe(4, 1, 5));
    Put(dir, "m.jnx", Recipe(4, 7));
    std::map<std::string, fixture::LevelTiles> tiles;
    for (const auto& c : cases)
        if (c.output) tiles[c.file] = TilesIn(dir.file(c.file));
    BatchTable table = Load(dir);
    batch::Selection selection = batch::AllRows(table);
    selection.erase(selection.begin() + std::ptrdiff_t(Index(table, "f.jnx")));
    for (const auto& c : cases)
        if (c.newName) Row(table, c.file).fileName = c.newName;
    auto noBlock = Recipe(4, 2);
    noBlock.withMapBlock = false, noBlock.gap = 1024;
    Put(dir, "i.jnx", noBlock);
    auto badTrailer = Recipe(3, 2);
    badTrailer.trailer = {'N', 'o', 'p', 'e'};
    Put(dir, "l.jnx", badTrailer);
    std::filesystem::remove(dir.file("j.jnx"));
    fixture::Snapshot unchanged = fixture::TakeSnapshot(dir.path());
    std::filesystem::create_symlink(dir.file("nowhere"), dir.file("link.jnx"));
    EditRequest request;
    request.productId = 9, request.targetVersion = 4, request.replaceSource = replace;
    request.levels[4].scale = 5000, request.levels[4].priority = true;
    Progress progress;
    const auto summary = batch::BatchSave(table, selection, request, {}, &progress);
    ASSERT_FALSE(summary.Refused()) << platform::ErrorText(summary.refusal);
    EXPECT_EQ(Counts(summary), (std::array{3, 1, 0, 0, 6}));
    EXPECT_EQ(std::pair(std::size_t(progress.total), progress.steps.size()), std::pair(cases.size(), cases.size()));
    ASSERT_EQ(summary.rows.size(), cases.size());
    for (std::size_t r = 0; r < cases.size(); ++r) {
        const Case& c = cases[r];
        EXPECT_EQ(summary.rows[r].error.code, c.code) << c.file;
        EXPECT_EQ(summary.rows[r].output, c.output ? dir.file(c.output) : "") << c.file;
        if (!c.output) continue;
        unchanged.erase(c.output);
        if (!std::string(c.output).ends_with("_new.jnx")) unchanged.erase(c.file);
        const jnx::JnxDocument doc = fixture::ReadFull(dir.file(c.output));
        EXPECT_EQ(std::tuple(doc.Header.ProductId, doc.Header.Version, doc.Levels[1].Scale), std::tuple(9, 4, 1111))
            << c.file;
        EXPECT_EQ(TilesIn(dir.file(c.output)), tiles[c.file]) << c.file;
    }
    const jnx::JnxDocument m = fixture::ReadFull(dir.file("m.jnx"));
    EXPECT_EQ(std::pair(m.Levels[4].Scale, m.Levels[5].Scale), std::pair(4999, 1555));
    for (const auto& [name, bytes] : unchanged) EXPECT_EQ(fixture::ReadBytes(dir.file(name)), bytes) << name;
    // No temporary name is left behind, over the source least of all.
    Files expected{"c.jnx", "c_new.jnx", "d.jnx", "e.jnx", "f.jnx", "g.jnx", "h.jnx", "i.jnx", "l.jnx",
                   "link.jnx", "m.jnx", "renamed.JNX"};
    if (replace) expected.erase(expected.begin() + 1);
    EXPECT_EQ(dir.list(), expected);
}

INSTANTIATE_TEST_SUITE_P(Output, BatchSave, ::testing::Bool(),
                         [](const auto& param) { return param.param ? "OverTheSource" : "BesideTheSource"; });

// An older NAME_new.jnx is another map: named before the run, left as it is and its row
// failed unless overwrite; and a file the run wrote is never saved again as a row.
TEST(BatchSave, AnOutputInTheWayIsLeftOrReplacedOnceAndNeverSavedAgain) {
    fixture::TempDir dir;
    Put(dir, "big.jnx", Recipe(3, 2));
    Put(dir, "big_new.jnx", Recipe(4, 2, 7));
    EditRequest request;
    request.productId = 9, request.targetVersion = 4;
    for (const bool overwrite : {false, true}) {
        BatchTable table = Load(dir);
        const batch::Selection all = batch::AllRows(table);
        EXPECT_EQ(batch::SaveOutputsInTheWay(table, all, request), Files{dir.file("big_new.jnx")});
        jnx::WriterSettings settings;
        settings.overwrite = overwrite;
        const auto summary = batch::BatchSave(table, all, request, settings);
        ASSERT_FALSE(summary.Refused());
        // Without overwrite big_new.jnx is patched in place as a row of its own.
        EXPECT_EQ(Counts(summary), (overwrite ? std::array{0, 1, 0, 0, 0} : std::array{1, 0, 0, 0, 1}));
        EXPECT_EQ(fixture::ReadFull(dir.file("big_new.jnx")).Levels[0].Scale, overwrite ? 1000 : 1007);
        EXPECT_TRUE(overwrite || summary.rows.at(0).error.cause->code == ErrorCode::OutputExists);
    }
}

TEST(BatchSaveRefusals, ValidationTouchesNoFile) {
    fixture::TempDir dir;
    Put(dir, "a.jnx", Recipe(3, 2));
    Put(dir, "b.jnx", Recipe(4, 2));
    fixture::WriteBytes(dir.file("broken.jnx"), {3, 0, 0});
    const BatchTable good = Load(dir);
    const batch::Selection valid{Index(good, "a.jnx"), Index(good, "b.jnx")};
    const auto before = fixture::TakeSnapshot(dir.path());
    EditRequest request;
    request.productId = 5, request.targetVersion = 4;
    using Change = std::function<void(BatchTable&, batch::Selection&, EditRequest&)>;
    const auto name = [](const char* text) -> Change {
        return [=](BatchTable& t, batch::Selection&, EditRequest&) { Row(t, "b.jnx").fileName = text; };
    };
    const std::vector<std::pair<Change, ErrorCode>> cases = {
        {[](BatchTable& t, batch::Selection&, EditRequest&) { t = BatchTable{}; }, ErrorCode::RefuseNoFolder},
        {[](BatchTable&, batch::Selection& s, EditRequest&) { s = {7}; }, ErrorCode::RefuseNoneChecked},
        {[](BatchTable& t, batch::Selection& s, EditRequest&) { s = batch::AllRows(t); },
         ErrorCode::RefuseErroneousChecked},
        {name("  "), ErrorCode::RefuseInvalidFilename},
        {name("b.txt"), ErrorCode::RefuseInvalidFilename},
        // The request's values are checked before the first file (their rules are the resolution's).
        {[](BatchTable&, batch::Selection&, EditRequest& r) { r.targetVersion = 5; }, ErrorCode::BadTargetVersion},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        BatchTable table = good;
        batch::Selection selection = valid;
        EditRequest values = request;
        cases[i].first(table, selection, values);
        const auto summary = batch::BatchSave(table, selection, values, {});
        EXPECT_EQ(summary.refusal.code, cases[i].second) << "case " << i;
        EXPECT_TRUE(summary.rows.empty());
        EXPECT_EQ(fixture::TakeSnapshot(dir.path()), before);
    }
}

TEST(BatchSaveFiles, HeadlessRunOverPaths) {
    fixture::TempDir dir;
    Put(dir, "a.jnx", Recipe(4, 1));
    Put(dir, "c.jnx", Recipe(3, 1));
    EditRequest request;
    auto summary = batch::SaveFilesAsBatch({dir.file("a.jnx")}, "moved.jnx", request, {});
    EXPECT_EQ(Counts(summary), (std::array{1, 0, 0, 0, 0}));
    EXPECT_EQ(dir.list(), (Files{"c.jnx", "moved.jnx"}));
    // A new name fits one file only.
    summary = batch::SaveFilesAsBatch({dir.file("c.jnx"), dir.file("moved.jnx")}, "x.jnx", request, {});
    EXPECT_EQ(summary.refusal.code, ErrorCode::RefuseInvalidFilename);

    // A folder that cannot take the rename fails the row before the file is patched.
    fixture::GiveToOrdinaryUser(dir.file("c.jnx"));
    const fixture::Snapshot before = fixture::TakeSnapshot(dir.path());
    ::chmod(dir.path().c_str(), 0555);
    request.productId = 77;
    EXPECT_TRUE(fixture::AsOrdinaryUser([&] {
        const auto run = batch::SaveFilesAsBatch({dir.file("c.jnx")}, "renamed.jnx", request, {});
        return run.errors == 1 && run.rows[0].error.code == ErrorCode::FolderNotWritable;
    }));
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(fixture::TakeSnapshot(dir.path()), before);
}

TEST(BatchDelete, RemovesCheckedFilesAndRows) {
    fixture::TempDir dir;
    for (const char* name : {"a.jnx", "b.jnx"}) Put(dir, name, Recipe(4, 1));
    fixture::WriteBytes(dir.file("c.jnx"), {9});
    BatchTable table = Load(dir);
    batch::Selection selection;
    EXPECT_EQ(batch::BatchDelete(table, selection).refusal.code, ErrorCode::RefuseNothingToDelete);
    EXPECT_EQ(dir.list().size(), 3u);
    selection = {Index(table, "a.jnx"), 2};  // the erroneous row may be deleted
    EXPECT_EQ(Counts(batch::BatchDelete(table, selection)), (std::array{0, 0, 0, 2, 0}));
    EXPECT_EQ(dir.list(), (Files{"b.jnx"}));
    EXPECT_EQ(std::pair(table.size(), table.rows.at(0).fileName), std::pair(std::size_t(1), std::string("b.jnx")));
    EXPECT_TRUE(selection.empty());
}

TEST(BatchSplit, TickedLevelsOfEveryCheckedFileUpToTheFifth) {
    fixture::TempDir dir;
    Put(dir, "MAP.jnx", Recipe(4, 7));
    Put(dir, "B.jnx", Recipe(3, 2));
    BatchTable table = Load(dir);
    EditRequest request;
    const auto before = fixture::TakeSnapshot(dir.path());
    Progress progress;
    const auto summary = batch::BatchSplit(table, batch::AllRows(table), request, {1, 3, 5}, {}, {}, &progress);
    ASSERT_FALSE(summary.Refused()) << platform::ErrorText(summary.refusal);
    EXPECT_EQ(Counts(summary), (std::array{0, 0, 4, 0, 0}));
    EXPECT_EQ(progress.steps, (std::vector<int>{1, 2}));
    // Levels beyond the fifth have no box and are passed over.
    EXPECT_EQ(dir.list(),
              (Files{"B.jnx", "B_Level1.jnx", "MAP.jnx", "MAP_Level1.jnx", "MAP_Level3.jnx", "MAP_Level5.jnx"}));
    for (const auto& [name, bytes] : before) EXPECT_EQ(fixture::ReadBytes(dir.file(name)), bytes) << name;
    const auto levelOf = [&](const std::string& name, int k) {
        return fixture::LevelTiles{TilesIn(dir.file(name))[std::size_t(k - 1)]};
    };
    for (int k : {1, 3, 5})
        EXPECT_EQ(TilesIn(dir.file("MAP_Level" + std::to_string(k) + ".jnx")), levelOf("MAP.jnx", k)) << k;
    EXPECT_EQ(TilesIn(dir.file("B_Level1.jnx")), levelOf("B.jnx", 1));
    // A second run would write these very files again.
    EXPECT_EQ(batch::SplitOutputsOf(table, batch::AllRows(table), {1, 3, 5}, {}),
              (Files{dir.file("B_Level1.jnx"), dir.file("MAP_Level1.jnx"), dir.file("MAP_Level3.jnx"),
                     dir.file("MAP_Level5.jnx")}));
}

TEST(BatchSplit, Refusals) {
    fixture::TempDir dir;
    Put(dir, "one.jnx", Recipe(4, 1));
    Put(dir, "two.jnx", Recipe(4, 2));
    BatchTable table = Load(dir);
    EditRequest request;
    std::vector<int> levels = {1};
    const batch::Selection all = batch::AllRows(table);
    const auto refusal = [&](const BatchTable& t) {
        return batch::BatchSplit(t, all, request, levels, {}, {}).refusal.code;
    };
    EXPECT_EQ(refusal(table), ErrorCode::RefuseSingleLevelSplit);
    levels.clear();
    EXPECT_EQ(refusal(table), ErrorCode::RefuseNothingToSplit);
    levels = {1, 2};
    request.targetVersion = 5;
    EXPECT_EQ(refusal(table), ErrorCode::BadTargetVersion);
    EXPECT_EQ(dir.list().size(), 2u);
    // With two levels chosen the one-level file passes and gives its level 1.
    request.targetVersion.reset();
    EXPECT_EQ(Counts(batch::BatchSplit(table, all, request, levels, {}, {})), (std::array{0, 0, 3, 0, 0}));
    EXPECT_EQ(dir.list(), (Files{"one.jnx", "one_Level1.jnx", "two.jnx", "two_Level1.jnx", "two_Level2.jnx"}));
}

// Asks to stop once `after` files are done: the per-file report and the cancel poll the
// window's worker answers.
struct StopAfter : batch::BatchObserver, batch::ScanObserver, jnx::BusyObserver {
    int after, done = 0;
    explicit StopAfter(int n) : after(n) {}
    void FileDone(int count) override { done = count; }
    void FileDone() override { ++done; }
    bool CancelRequested() const override { return done >= after; }
};

// A cancel between files: the files before are done and listed, the rest untouched, and
// the summary says it stopped. The scan keeps the rows it read.
TEST(CancelledBatch, StopsBetweenFiles) {
    fixture::TempDir dir;
    for (const char* name : {"a.jnx", "b.jnx", "c.jnx"}) Put(dir, name, Recipe(3, 2));
    BatchTable table = Load(dir);
    batch::Selection all = batch::AllRows(table);
    const auto before = fixture::TakeSnapshot(dir.path());
    EditRequest request;
    request.targetVersion = 4;
    StopAfter stopSave(1);
    const auto saved = batch::BatchSave(table, all, request, {}, &stopSave, &stopSave);
    ASSERT_EQ(std::pair(saved.cancelled, saved.rows.size()), std::pair(true, std::size_t(1)));
    EXPECT_EQ(saved.rows[0].result, batch::RowResult::Created);
    EXPECT_EQ(dir.list(), (Files{"a.jnx", "a_new.jnx", "b.jnx", "c.jnx"}));

    StopAfter stopSplit(2);
    const auto split = batch::BatchSplit(table, all, request, {1, 2}, {}, {}, &stopSplit, &stopSplit);
    EXPECT_EQ(std::tuple(split.cancelled, split.extracted, dir.list().size()), std::tuple(true, 4, 8u));
    for (const auto& [name, bytes] : before) EXPECT_EQ(fixture::ReadBytes(dir.file(name)), bytes) << name;

    // The rows a cancel leaves stay selected, where they now are.
    struct StopAfterFirst : jnx::BusyObserver {
        bool deleted = false;
        void Progress(std::int64_t, std::int64_t) override { deleted = true; }
        bool CancelRequested() const override { return deleted; }
    } stopDelete;
    const auto deleted = batch::BatchDelete(table, all, &stopDelete);
    EXPECT_EQ(std::tuple(deleted.cancelled, deleted.deleted, table.size()), std::tuple(true, 1, 2u));
    EXPECT_EQ(all, (batch::Selection{0, 1}));

    StopAfter stopScan(2);
    BatchTable scanned;
    const batch::ScanResult scan = batch::LoadFolder(scanned, dir.path(), kZooms, false, &stopScan, &stopScan);
    EXPECT_EQ(std::tuple(scan.ok, scan.cancelled, scanned.size()), std::tuple(true, true, 2u));
}

}  // namespace
