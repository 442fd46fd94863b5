// The folder scan: which files become rows, what each row holds, and that nothing in the
// folder (links, pipes, broken files) stops, hangs or changes it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

#include "support/jnx_builder.h"
#include "batch/batch_table.h"
#include "batch/folder_scan.h"

namespace {

using batch::BatchRow;
using batch::BatchTable;
namespace fs = std::filesystem;

const std::vector<settings::ZoomLevelEntry> kZooms = {
    {"Z200", 200, 300}, {"Z1000", 1000, 1200}, {"Z4000", 4000, 5000}, {"Z60000", 60000, 80000}};

void Write(const std::string& path, const fixture::JnxRecipe& recipe) { fixture::WriteBytes(path, fixture::BuildJnx(recipe).bytes); }

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

std::map<std::string, fixture::Bytes> Snapshot(const std::string& folder) {
    std::map<std::string, fixture::Bytes> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file() && !entry.is_symlink()) files[entry.path().string()] = fixture::ReadBytes(entry.path().string());
    }
    return files;
}

TEST(ZoomLookup, MapsScalesToRowsAndPriority) {
    bool priority = true;
    // Below the first row: the first row, not prioritised.
    EXPECT_EQ(batch::GetScaleLevelDescription(kZooms, 10, priority), "Z200");
    EXPECT_FALSE(priority);
    EXPECT_EQ(batch::GetScaleLevelDescription(kZooms, 1000, priority), "Z1000");  // equal to MinScale
    EXPECT_TRUE(priority);
    EXPECT_EQ(batch::GetScaleLevelDescription(kZooms, 1200, priority), "Z1000");  // at StandardScale
    EXPECT_FALSE(priority);
    EXPECT_EQ(batch::GetScaleLevelDescription(kZooms, 3999, priority), "Z1000");
    // Beyond the table: the last row, and the flag is left as it was.
    priority = false;
    EXPECT_EQ(batch::GetScaleLevelDescription(kZooms, 70000, priority), "Z60000");
    EXPECT_FALSE(priority);

    auto unnamed = kZooms;
    unnamed[1].Name.clear();
    EXPECT_EQ(batch::GetScaleLevelDescription(unnamed, 1100, priority), "Z60000");
    EXPECT_EQ(batch::GetScaleLevelDescription({}, 1100, priority), "");
}

TEST(FolderScan, FillsEachRowFromItsFile) {
    fixture::TempDir dir;
    Write(dir.file("a.JNX"), Recipe(4, {1100, 70000}, 3));
    auto v3 = Recipe(3, {250, 300, 1000, 4000, 4999, 60000, 200});
    v3.productId = 12;
    v3.groupName = "Grupo Ñandú";
    Write(dir.file("b.jnx"), v3);
    fixture::WriteBytes(dir.file("c.txt"), {1, 2, 3});
    fixture::WriteBytes(dir.file("d.jnx"), {4, 0, 0, 0, 9});  // cut short
    auto noBlock = Recipe(4, {5000});
    noBlock.withMapBlock = false;
    noBlock.gap = 1024;
    Write(dir.file("e.jnx"), noBlock);
    // Header and map block disagree on the number of levels.
    auto bugSpec = Recipe(4, {300, 1200});
    auto bug = fixture::BuildJnx(bugSpec);
    const std::int64_t infoCountPos = bug.blockStart + 4 + std::int64_t(bugSpec.guid.size() + 1) +
                                      std::int64_t(bugSpec.groupName.size() + 1) + 3 +
                                      std::int64_t(bugSpec.mapTitle.size() + 1);
    bug.bytes[std::size_t(infoCountPos)] = 3;
    fixture::WriteBytes(dir.file("f.jnx"), bug.bytes);
    fixture::WriteBytes(dir.file("x.jnx.bak"), fixture::BuildJnx(Recipe(4, {300})).bytes);
    const auto before = Snapshot(dir.path());

    BatchTable table;
    CountingObserver observer;
    const auto result = batch::LoadFolder(table, dir.path(), kZooms, false, &observer);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(before, Snapshot(dir.path()));
    ASSERT_EQ(table.size(), 5u);
    EXPECT_EQ(observer.folders.size(), 1u);
    EXPECT_EQ(observer.folders[0].second, 7);
    EXPECT_EQ(observer.files, 7);

    // clang-format off
    using R = std::vector<std::string>;
    const std::vector<R> expected = {
        // GroupID GroupName NumLevels Zoom1..5 TotalTiles Version DrawOrder Prio1..5 Filename NeedTMP WithBug
        {"7", "BirdsEye Satellite Imagery Subscription", "2", "Z1000", "Z60000", "", "", "", "6", "4", "30",
         "S", "N", "", "", "", "a.JNX", "N", "N"},
        {"12", "Grupo Ñandú", "7", "Z200", "Z200", "Z1000", "Z4000", "Z4000", "14", "3", "",
         "S", "N", "S", "S", "S", "b.jnx", "N", "N"},
        {"??", "ERROR AL CARGAR", "", "", "", "", "", "", "", "", "",
         "", "", "", "", "", dir.file("d.jnx"), "", ""},
        {"7", "BirdsEye Satellite Imagery Subscription", "1", "Z4000", "", "", "", "", "2", "4", "30",
         "N", "", "", "", "", "e.jnx", "S", "N"},
        {"7", "BirdsEye Satellite Imagery Subscription", "2", "Z200", "Z1000", "", "", "", "4", "4", "30",
         "N", "N", "", "", "", "f.jnx", "N", "S"},
    };
    // clang-format on
    const std::vector<int> columns = {batch::kGroupID, batch::kGroupName, batch::kNumLevels,
                                      batch::kZoomLevel1, batch::kZoomLevel1 + 1, batch::kZoomLevel1 + 2,
                                      batch::kZoomLevel1 + 3, batch::kZoomLevel1 + 4, batch::kTotalTiles,
                                      batch::kJNXVersion, batch::kDrawOrder, batch::kPriority1,
                                      batch::kPriority1 + 1, batch::kPriority1 + 2, batch::kPriority1 + 3,
                                      batch::kPriority1 + 4, batch::kFilename, batch::kNeedTMP, batch::kWithBug};
    const std::vector<std::string> names = {"a.JNX", "b.jnx", "d.jnx", "e.jnx", "f.jnx"};
    for (std::size_t r = 0; r < expected.size(); ++r) {
        const BatchRow& row = table.rows[r];
        EXPECT_EQ(row[batch::kSelected], "0");
        EXPECT_EQ(row.FullFileName(), dir.file(names[r]));
        for (std::size_t c = 0; c < columns.size(); ++c) {
            EXPECT_EQ(row[columns[c]], expected[r][c]) << "row " << r << " field " << batch::kFields[columns[c]].name;
        }
    }
    EXPECT_TRUE(table.rows[2].Erroneous());
    EXPECT_FALSE(table.rows[0].Obsolete());
    EXPECT_TRUE(table.rows[3].Obsolete());
    EXPECT_TRUE(table.rows[4].Obsolete());

    batch::SelectAll(table);
    EXPECT_EQ(table.CheckedCount(), 5u);
    batch::SelectObsolete(table);
    EXPECT_EQ(table.CheckedCount(), 2u);
    EXPECT_TRUE(table.rows[3].Checked() && table.rows[4].Checked());
    batch::SelectNone(table);
    EXPECT_EQ(table.CheckedCount(), 0u);
}

TEST(FolderScan, EmptyAndVanishedFolders) {
    fixture::TempDir dir;
    BatchTable table;
    table.rows.resize(3);  // a previous load
    CountingObserver observer;
    auto result = batch::LoadFolder(table, dir.path(), kZooms, true, &observer);
    EXPECT_TRUE(result.ok);
    EXPECT_TRUE(table.empty());
    ASSERT_EQ(observer.folders.size(), 1u);
    EXPECT_EQ(observer.folders[0].second, 1);

    table.rows.resize(2);
    result = batch::LoadFolder(table, dir.file("gone"), kZooms, false);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
    EXPECT_TRUE(table.empty());
}

TEST(FolderScan, SubfoldersDepthFirstWithoutFollowingLoops) {
    fixture::TempDir dir;
    fs::create_directories(dir.file("b_sub/deeper"));
    fs::create_directories(dir.file("c_other"));
    Write(dir.file("z.jnx"), Recipe(4, {300}));
    Write(dir.file("b_sub/y.jnx"), Recipe(3, {300}));
    Write(dir.file("b_sub/deeper/x.jnx"), Recipe(4, {300}));
    Write(dir.file("c_other/w.jnx"), Recipe(4, {300}));
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
    Write(dir.file(longName), recipe);

    BatchTable table;
    ASSERT_TRUE(batch::LoadFolder(table, dir.path(), kZooms, false).ok);
    ASSERT_EQ(table.size(), 3u);
    EXPECT_TRUE(table.rows[0].Erroneous());                 // empty.jnx
    EXPECT_EQ(table.rows[1].FileName(), longName);         // kept whole, not cut at 100
    EXPECT_EQ(table.rows[1][batch::kGroupName], recipe.groupName);
    EXPECT_TRUE(table.rows[2].Erroneous());                 // pipe.jnx
    EXPECT_EQ(batch::ColumnWidth(table, batch::kFilename), 154u);
    EXPECT_EQ(batch::ColumnWidth(table, batch::kGroupName), 120u);
    EXPECT_EQ(batch::ColumnWidth(table, batch::kNeedTMP), 1u);
    EXPECT_GE(batch::ColumnWidth(table, batch::kFullFileName), dir.file(longName).size());
}

#ifdef TESSALY_CLI_PATH
struct CliRun {
    int exitCode = -1;
    std::string out;
};

CliRun RunCli(const std::string& arguments) {
    CliRun run;
    FILE* pipe = ::popen((std::string(TESSALY_CLI_PATH) + " " + arguments + " 2>/dev/null").c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(ScanCommand, PrintsTheTableAndFailsOnAMissingFolder) {
    fixture::TempDir dir;
    fs::create_directory(dir.file("sub"));
    Write(dir.file("a.jnx"), Recipe(4, {300}));
    Write(dir.file("sub/b.jnx"), Recipe(3, {300}));
    fixture::WriteBytes(dir.file("bad.jnx"), {1});

    const CliRun json = RunCli("scan '" + dir.path() + "' --recursive --json");
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_NE(json.out.find("\"fullFileName\": \"" + dir.file("sub/b.jnx") + "\""), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"GroupID\": \"??\""), std::string::npos);
    EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '{'), 3);

    const CliRun text = RunCli("scan '" + dir.path() + "'");
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_EQ(std::count(text.out.begin(), text.out.end(), '\n'), 3);  // header and two rows
    EXPECT_EQ(text.out.rfind("GroupID", 0), 0u);

    EXPECT_EQ(RunCli("scan '" + dir.file("gone") + "'").exitCode, 1);
    EXPECT_EQ(RunCli("scan").exitCode, 2);
}
#endif

}  // namespace
