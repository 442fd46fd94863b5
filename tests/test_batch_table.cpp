// The folder scan: which files become rows, what each row holds, and that nothing in the
// folder (links, pipes, broken files) stops, hangs or changes it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "batch/batch_table.h"
#include "batch/folder_scan.h"
#include "support/writer_support.h"

namespace {

using batch::BatchRow;
using batch::BatchTable;
using fixture::Put;
namespace fs = std::filesystem;

const std::vector<settings::ZoomLevelEntry> kZooms = {
    {"Z200", 200, 300}, {"Z1000", 1000, 1200}, {"Z4000", 4000, 5000}, {"Z60000", 60000, 80000}};

fixture::JnxRecipe Recipe(int version, std::vector<std::int32_t> scales, int tiles = 2) {
    fixture::JnxRecipe recipe = fixture::SimpleRecipe(version, static_cast<int>(scales.size()), tiles);
    for (std::size_t i = 0; i < scales.size(); ++i) recipe.levels[i].scale = scales[i];
    return recipe;
}

class CountingObserver : public batch::ScanObserver {
public:
    void FolderStarted(const std::string& folder, int fileCount) override { folders.emplace_back(folder, fileCount); }
    void FileDone() override { ++files; }
    std::vector<std::pair<std::string, int>> folders;
    int files = 0;
};

// The row lookup itself is tested with the settings; here only the name and the flag it
// leaves, which stays as it was beyond the table.
TEST(ZoomLookup, NameAndPriorityOfAScale) {
    bool flag = false;
    EXPECT_EQ(batch::GetScaleLevelDescription(kZooms, 1000, flag), "Z1000");
    EXPECT_TRUE(flag);
    EXPECT_EQ(batch::GetScaleLevelDescription(kZooms, 70000, flag), "Z60000");
    EXPECT_TRUE(flag);
    auto unnamed = kZooms;  // a row without a name gives the last row's
    unnamed[1].Name.clear();
    EXPECT_EQ(batch::GetScaleLevelDescription(unnamed, 1100, flag), "Z60000");
    EXPECT_EQ(batch::GetScaleLevelDescription({}, 1100, flag), "");
}

TEST(FolderScan, FillsEachRowFromItsFile) {
    fixture::TempDir dir;
    Put(dir, "a.JNX", Recipe(4, {1100, 70000}, 3));
    auto v3 = Recipe(3, {250, 300, 1000, 4000, 4999, 60000, 200});
    v3.productId = 12;
    v3.groupName = "Grupo Ñandú";
    Put(dir, "b.jnx", v3);
    fixture::WriteBytes(dir.file("c.txt"), {1, 2, 3});
    fixture::WriteBytes(dir.file("d.jnx"), {4, 0, 0, 0, 9});  // cut short
    auto noBlock = Recipe(4, {5000});
    noBlock.withMapBlock = false;
    noBlock.gap = 1024;
    Put(dir, "e.jnx", noBlock);
    // Header and map block disagree on the number of levels.
    auto bugRecipe = Recipe(4, {300, 1200});
    auto bug = fixture::BuildJnx(bugRecipe);
    const std::int64_t infoCountPos = bug.blockStart + 4 + std::int64_t(bugRecipe.guid.size() + 1) +
                                      std::int64_t(bugRecipe.groupName.size() + 1) + 3 +
                                      std::int64_t(bugRecipe.mapTitle.size() + 1);
    bug.bytes[std::size_t(infoCountPos)] = 3;
    fixture::WriteBytes(dir.file("f.jnx"), bug.bytes);
    fixture::WriteBytes(dir.file("x.jnx.bak"), fixture::BuildJnx(Recipe(4, {300})).bytes);
    // Whole up to its tile tables, which end early: no command could use it.
    const fixture::BuiltJnx cut = fixture::BuildJnx(Recipe(4, {300}, 3));
    fixture::WriteBytes(dir.file("g.jnx"), fixture::Bytes(cut.bytes.begin(), cut.bytes.begin() + cut.firstTableOffset + 40));
    const auto before = fixture::TakeSnapshot(dir.path());

    BatchTable table;
    CountingObserver observer;
    const auto result = batch::LoadFolder(table, dir.path(), kZooms, false, &observer);
    ASSERT_TRUE(result.ok) << platform::ErrorText(result.error);
    EXPECT_EQ(before, fixture::TakeSnapshot(dir.path()));
    ASSERT_EQ(table.size(), 6u);
    EXPECT_EQ(observer.folders, (std::vector<std::pair<std::string, int>>{{dir.path(), 8}}));
    EXPECT_EQ(observer.files, 8);

    // clang-format off
    const std::string group = "BirdsEye Satellite Imagery Subscription";
    const std::vector<std::vector<std::string>> expected = {
        // GroupID GroupName NumLevels Zoom1..5 TotalTiles Version DrawOrder Prio1..5 Filename fullFileName
        // NeedTMP WithBug
        {"7", group, "2", "Z1000", "Z60000", "", "", "", "6", "4", "30", "S", "N", "", "", "",
         "a.JNX", dir.file("a.JNX"), "N", "N"},
        {"12", "Grupo Ñandú", "7", "Z200", "Z200", "Z1000", "Z4000", "Z4000", "14", "3", "", "S", "N", "S", "S", "S",
         "b.jnx", dir.file("b.jnx"), "N", "N"},
        {"??", "ERROR AL CARGAR", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
         dir.file("d.jnx"), dir.file("d.jnx"), "", ""},
        {"7", group, "1", "Z4000", "", "", "", "", "2", "4", "30", "N", "", "", "", "",
         "e.jnx", dir.file("e.jnx"), "S", "N"},
        {"7", group, "2", "Z200", "Z1000", "", "", "", "4", "4", "30", "N", "N", "", "", "",
         "f.jnx", dir.file("f.jnx"), "N", "S"},
        {"??", "ERROR AL CARGAR", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
         dir.file("g.jnx"), dir.file("g.jnx"), "", ""},
    };
    // clang-format on
    for (std::size_t r = 0; r < expected.size(); ++r) {
        const BatchRow& row = table.rows[r];
        EXPECT_EQ(row[batch::kSelected], "0");
        for (int c = batch::kGroupID; c < batch::kColumnCount; ++c) {
            EXPECT_EQ(row[c], expected[r][std::size_t(c - 1)]) << "row " << r << " field " << batch::kFields[c].name;
        }
    }
    EXPECT_TRUE(table.rows[2].Erroneous());
    // The device check sees the tile tables: their tiles lie outside these maps' bounds;
    // an unreadable file says why, and has no findings to pass for ready.
    ASSERT_FALSE(table.rows[0].device.empty());
    EXPECT_EQ(table.rows[0].device.back().code, check::FindingCode::TileOutsideBounds);
    EXPECT_EQ(table.rows[5].readError.code, platform::ErrorCode::ReadPastEnd);
    EXPECT_EQ(table.rows[5].readError.file, dir.file("g.jnx"));
    EXPECT_TRUE(table.rows[5].device.empty());
    EXPECT_FALSE(table.rows[0].Obsolete());
    EXPECT_TRUE(table.rows[3].Obsolete());
    EXPECT_TRUE(table.rows[4].Obsolete());

    batch::SelectAll(table);
    batch::SelectObsolete(table);  // the obsolete rows only
    EXPECT_EQ(table.CheckedCount(), 2u);
    EXPECT_TRUE(table.rows[3].Checked() && table.rows[4].Checked());
    batch::SelectNone(table);
    EXPECT_EQ(table.CheckedCount(), 0u);
}

TEST(FolderScan, EmptyAndVanishedFolders) {
    fixture::TempDir dir;
    BatchTable table;
    table.rows.resize(3);  // a previous load
    auto result = batch::LoadFolder(table, dir.path(), kZooms, true);
    EXPECT_TRUE(result.ok);
    EXPECT_TRUE(table.empty());

    table.rows.resize(2);
    result = batch::LoadFolder(table, dir.file("gone"), kZooms, false);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.code, platform::ErrorCode::CannotReadFolder);
    EXPECT_TRUE(table.empty());
}

TEST(FolderScan, SubfoldersDepthFirstWithoutFollowingLoops) {
    fixture::TempDir dir;
    fs::create_directories(dir.file("b_sub/deeper"));
    fs::create_directories(dir.file("c_other"));
    Put(dir, "z.jnx", Recipe(4, {300}));
    Put(dir, "b_sub/y.jnx", Recipe(3, {300}));
    Put(dir, "b_sub/deeper/x.jnx", Recipe(4, {300}));
    Put(dir, "c_other/w.jnx", Recipe(4, {300}));
    fs::create_directory_symlink(dir.path(), dir.file("b_sub/deeper/up"));  // a loop to the top
    fs::create_directory_symlink(dir.file("c_other"), dir.file("a_link"));  // a second way into c_other
    fs::create_symlink(dir.file("nowhere.jnx"), dir.file("dangling.jnx"));

    BatchTable flat;
    ASSERT_TRUE(batch::LoadFolder(flat, dir.path(), kZooms, false).ok);
    ASSERT_EQ(flat.size(), 2u);
    EXPECT_TRUE(flat.rows[0].Erroneous());  // the dangling link
    EXPECT_EQ(flat.rows[1].FileName(), "z.jnx");

    BatchTable deep;
    const auto result = batch::LoadFolder(deep, dir.path(), kZooms, true);
    ASSERT_TRUE(result.ok);
    std::vector<std::string> paths;
    for (const auto& row : deep.rows) paths.push_back(row.FullFileName());
    // A folder's own files first, then its subfolders in name order; c_other is listed
    // once, through whichever way the scan reached it first.
    const std::vector<std::string> expected = {dir.file("dangling.jnx"), dir.file("z.jnx"), dir.file("a_link/w.jnx"),
                                               dir.file("b_sub/y.jnx"), dir.file("b_sub/deeper/x.jnx")};
    EXPECT_EQ(paths, expected);
    EXPECT_TRUE(deep.recursive);
}

TEST(FolderScan, OddEntriesBecomeErroneousRowsWithoutBlocking) {
    fixture::TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("pipe.jnx").c_str(), 0600), 0);
    fs::create_directory(dir.file("folder.jnx"));
    fixture::WriteBytes(dir.file("empty.jnx"), {});
    const std::string longName = std::string(150, 'n') + ".jnx";
    auto recipe = Recipe(4, {300});
    recipe.groupName = std::string(120, 'g');
    Put(dir, longName, recipe);

    BatchTable table;
    ASSERT_TRUE(batch::LoadFolder(table, dir.path(), kZooms, false).ok);
    ASSERT_EQ(table.size(), 3u);
    EXPECT_TRUE(table.rows[0].Erroneous());                 // empty.jnx
    EXPECT_EQ(table.rows[1].FileName(), longName);         // kept whole, not cut at 100
    EXPECT_EQ(table.rows[1][batch::kGroupName], recipe.groupName);
    EXPECT_TRUE(table.rows[2].Erroneous());                 // pipe.jnx
    EXPECT_EQ(batch::ColumnWidth(table, batch::kFilename), 154u);
    EXPECT_EQ(batch::ColumnWidth(table, batch::kGroupName), 120u);
    EXPECT_GE(batch::ColumnWidth(table, batch::kFullFileName), dir.file(longName).size());
}

}  // namespace
