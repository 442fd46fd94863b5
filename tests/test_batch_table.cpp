// The folder scan: which files become rows, what each row holds, and that nothing in the
// folder (links, pipes, broken files) stops, hangs or changes it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <tuple>

#include "batch/batch_table.h"
#include "batch/folder_scan.h"
#include "support/writer_support.h"

namespace {

using batch::BatchTable;
using batch::MapRow;
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

// The row lookup itself is tested with the settings; here only the name a row without
// one shows, and that a table without rows names none.
TEST(ZoomLookup, NamelessRowsAndNoTable) {
    auto unnamed = kZooms;
    unnamed[1].Name.clear();
    const batch::MapLevel level = batch::LevelForScale(unnamed, 1100);
    EXPECT_EQ(std::tuple(level.zoomRow, level.zoomName, level.prioritised), std::tuple(1, "Z60000", true));
    EXPECT_EQ(batch::LevelForScale({}, 1100).zoomRow, -1);
}

// What a row holds: every kind of file of a folder read once, the one cut short within
// its tile tables included.
TEST(FolderScan, FillsEachRowFromItsFile) {
    fixture::TempDir dir;
    Put(dir, "a.JNX", Recipe(4, {1100, 70000}, 3));
    auto v3 = Recipe(3, {250, 300, 1000, 4000, 4999, 60000, 200});
    v3.productId = 12, v3.groupName = "Grupo Ñandú";
    Put(dir, "b.jnx", v3);
    fixture::WriteBytes(dir.file("c.txt"), {1, 2, 3});
    fixture::WriteBytes(dir.file("d.jnx"), {4, 0, 0, 0, 9});  // cut short
    auto noBlock = Recipe(4, {5000});
    noBlock.withMapBlock = false, noBlock.gap = 1024;
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
    EXPECT_EQ(std::pair(observer.folders, observer.files),
              std::pair(std::vector<std::pair<std::string, int>>{{dir.path(), 8}}, 8));

    // The zoom rows of the first five levels, '*' after a prioritised one.
    const auto zooms = [](const MapRow& row) {
        std::string text;
        for (const auto& level : row.levels) text += level.zoomName + (level.prioritised ? "* " : " ");
        return text;
    };
    using Typed = std::tuple<std::string, int, int, std::string, int, int, std::string, std::optional<int>, bool, bool>;
    const auto typed = [&](const MapRow& row) {
        return Typed{row.fileName,   row.version, row.productId, row.groupName,         row.levelCount,
                     row.totalTiles, zooms(row),  row.drawOrder, row.needsRegeneration, row.withBug};
    };
    const std::string group = "BirdsEye Satellite Imagery Subscription";
    EXPECT_EQ(typed(table.rows[0]), Typed("a.JNX", 4, 7, group, 2, 6, "Z1000* Z60000 ", 30, false, false));
    EXPECT_EQ(typed(table.rows[1]), Typed("b.jnx", 3, 12, "Grupo Ñandú", 7, 14, "Z200* Z200 Z1000* Z4000* Z4000* ",
                                          std::nullopt, false, false));
    EXPECT_EQ(typed(table.rows[3]), Typed("e.jnx", 4, 7, group, 1, 2, "Z4000 ", 30, true, false));
    EXPECT_EQ(typed(table.rows[4]), Typed("f.jnx", 4, 7, group, 2, 4, "Z200 Z1000 ", 30, false, true));
    // An unreadable file is a row of its name and its reason alone.
    for (const std::size_t r : {2u, 5u}) {
        const MapRow& row = table.rows[r];
        ASSERT_TRUE(row.Erroneous()) << r;
        EXPECT_EQ(std::tuple(row.readError->file, row.fileName), std::tuple(row.path, r == 2 ? "d.jnx" : "g.jnx"));
        EXPECT_TRUE(row.levels.empty() && row.device.empty() && !row.bounds);
    }
    EXPECT_EQ(table.rows[5].readError->code, platform::ErrorCode::ReadPastEnd);
    // The device check sees the tile tables: their tiles lie outside these maps' bounds.
    ASSERT_FALSE(table.rows[0].device.empty());
    EXPECT_EQ(table.rows[0].device.back().code, check::FindingCode::TileOutsideBounds);
    EXPECT_EQ(batch::ObsoleteRows(table), (batch::Selection{3, 4}));
}

TEST(FolderScan, EmptyAndVanishedFolders) {
    fixture::TempDir dir;
    BatchTable table;
    table.rows.resize(3);  // a previous load
    auto result = batch::LoadFolder(table, dir.path(), kZooms, true);
    EXPECT_TRUE(result.ok && table.empty());

    table.rows.resize(2);
    result = batch::LoadFolder(table, dir.file("gone"), kZooms, false);
    EXPECT_EQ(std::tuple(result.ok, result.error.code, table.empty()),
              std::tuple(false, platform::ErrorCode::CannotReadFolder, true));
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
    EXPECT_EQ(flat.rows[1].fileName, "z.jnx");

    BatchTable deep;
    const auto result = batch::LoadFolder(deep, dir.path(), kZooms, true);
    ASSERT_TRUE(result.ok);
    std::vector<std::string> paths, subfolders;
    for (const auto& row : deep.rows) {
        paths.push_back(row.path);
        subfolders.push_back(row.subfolder);
    }
    // A folder's own files first, then its subfolders in name order; c_other is listed
    // once, through whichever way the scan reached it first.
    const std::vector<std::string> expected = {dir.file("dangling.jnx"), dir.file("z.jnx"), dir.file("a_link/w.jnx"),
                                               dir.file("b_sub/y.jnx"), dir.file("b_sub/deeper/x.jnx")};
    EXPECT_EQ(paths, expected);
    EXPECT_EQ(subfolders, (std::vector<std::string>{"", "", "a_link", "b_sub", "b_sub/deeper"}));
    EXPECT_TRUE(deep.recursive);
}

TEST(FolderScan, OddEntriesBecomeErroneousRowsWithoutBlocking) {
    fixture::TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("pipe.jnx").c_str(), 0600), 0);
    fs::create_directory(dir.file("folder.jnx"));
    fixture::WriteBytes(dir.file("empty.jnx"), {});

    BatchTable table;
    ASSERT_TRUE(batch::LoadFolder(table, dir.path(), kZooms, false).ok);
    ASSERT_EQ(table.size(), 2u);  // empty.jnx, pipe.jnx
    EXPECT_TRUE(table.rows[0].Erroneous() && table.rows[1].Erroneous());
}

}  // namespace
