#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "settings/settings.h"
#include "support/jnx_builder.h"

namespace {

using fixture::TempDir;

class SettingsFile : public testing::Test {
protected:
    settings::Settings With(const std::string& text) {
        std::ofstream(dir_.file("Tessaly.ini"), std::ios::binary | std::ios::trunc) << text;
        return settings::Settings(dir_.file("Tessaly.ini"));
    }
    bool Load(const std::string& text) { return settings::CargarCombos(With(text), tables_); }

    TempDir dir_;
    settings::SettingsTables tables_;
};

const std::string kZoom = "[ZoomLevels]\nLevel1=1/8/5 m\nLevel2=11/13/8 m\nLevel3=16/19/12 m\n";

TEST_F(SettingsFile, ZoomTableEndsAtTheFirstGap) {
    ASSERT_TRUE(Load("[ZoomLevels]\nLevel1=1/8/5 m\nLevel2=11/13/8 m\nLevel4=25/31/20 m\n"));
    ASSERT_EQ(tables_.ZoomTable.size(), 2u);
    EXPECT_EQ(tables_.ZoomTable[1].Name, "8 m");
    EXPECT_EQ(tables_.ZoomTable[1].MinScale, 11);
    EXPECT_EQ(tables_.ZoomTable[1].StandardScale, 13);
    ASSERT_EQ(tables_.TargetVersions.size(), 2u);
    EXPECT_EQ(tables_.TargetVersions[0].Text, "JNX v3");
    EXPECT_EQ(tables_.TargetVersions[1].Version, 4);
}

TEST_F(SettingsFile, MalformedZoomRowsFailTheLoad) {
    EXPECT_FALSE(Load(kZoom + "Level4=100/200/a/b/c\n"));
    EXPECT_FALSE(Load("[ZoomLevels]\nLevel1=1/8\n"));
    EXPECT_FALSE(Load("[ZoomLevels]\nLevel1=one/8/5 m\n"));
    EXPECT_FALSE(Load("[ZoomLevels]\nLevel1=1/8.5/5 m\n"));
    EXPECT_FALSE(Load("[ZoomLevels]\nLevel1=1/99999999999/5 m\n"));
}

TEST_F(SettingsFile, GroupsSplitAtTheFirstSlashOnly) {
    ASSERT_TRUE(Load(kZoom + "[Groups]\nGroup1=0/BirdsEye\nGroup2= 12 / Trails/Roads/Rivers \nGroup4=4/Never\n"));
    ASSERT_EQ(tables_.Groups.size(), 2u);
    EXPECT_EQ(tables_.Groups[1].ProductId, 12);
    EXPECT_EQ(tables_.Groups[1].Name, "Trails/Roads/Rivers");
    ASSERT_EQ(tables_.GroupZoomTable.size(), 2u);

    EXPECT_FALSE(Load(kZoom + "[Groups]\nGroup1=no slash\n"));
    EXPECT_FALSE(Load(kZoom + "[Groups]\nGroup1=x/Name\n"));
}

TEST_F(SettingsFile, GroupZoomPresets) {
    ASSERT_TRUE(Load(kZoom + "[Groups]\nGroup1=0/A\nGroupZooms1=1, 2,0,-1,-2\nGroup2=1/B\nGroupZooms2=\nGroup3=2/C\n"));
    using Z = std::array<std::int16_t, 5>;
    EXPECT_EQ(tables_.GroupZoomTable[0].ZoomIndex, (Z{0, 1, 0, -1, -2}));
    EXPECT_EQ(tables_.GroupZoomTable[1].ZoomIndex, (Z{-2, -2, -2, -2, -2}));
    EXPECT_EQ(tables_.GroupZoomTable[2].ZoomIndex, (Z{-2, -2, -2, -2, -2}));
}

TEST_F(SettingsFile, GroupZoomPresetsNamingNoRowFailTheLoad) {
    const std::string group = kZoom + "[Groups]\nGroup1=0/A\n";
    EXPECT_TRUE(Load(group + "GroupZooms1=3,3,3,3,3\n"));
    EXPECT_FALSE(Load(group + "GroupZooms1=4,1,1,1,1\n"));   // three rows only
    EXPECT_FALSE(Load(group + "GroupZooms1=1,1,1,1,-3\n"));
    EXPECT_FALSE(Load(group + "GroupZooms1=1,1,1,1\n"));
    EXPECT_FALSE(Load(group + "GroupZooms1=1,1,1,1,1,1\n"));
    EXPECT_FALSE(Load(group + "GroupZooms1=1,1,x,1,1\n"));
    EXPECT_FALSE(Load("[Groups]\nGroup1=0/A\nGroupZooms1=0,0,0,0,0\n"));  // no zoom table at all
}

TEST_F(SettingsFile, LevelDirsKeepTheirCaseAndTakeBackslashes) {
    ASSERT_TRUE(Load(kZoom + "[Split]\nLevelDir2=$current\\Levels\\Two\nLevelDir5=/Maps/Out\n"));
    EXPECT_EQ(tables_.LevelDirs[0], "");
    EXPECT_EQ(tables_.LevelDirs[1], "$current/Levels/Two");
    EXPECT_EQ(tables_.LevelDirs[4], "/Maps/Out");
}

TEST_F(SettingsFile, LanguageIsSpanishOnlyForUpperCaseEsp) {
    EXPECT_TRUE(With("[Preferences]\nLang=ESP\n").IsSpanish());
    EXPECT_FALSE(With("[Preferences]\nLang=esp\n").IsSpanish());
    EXPECT_EQ(With("[Preferences]\nLang=esp\n").Lang(), "esp");
    EXPECT_EQ(With("[Preferences]\n").Lang(), "");
}

TEST_F(SettingsFile, UserLevelIsANumberOrOne) {
    EXPECT_EQ(With("").UserLevel(), 1);
    EXPECT_EQ(With("[Preferences]\nUserLevel=2\n").UserLevel(), 2);
    EXPECT_EQ(With("[Preferences]\nUserLevel= 2.0 \n").UserLevel(), 2);
    EXPECT_EQ(With("[Preferences]\nUserLevel=two\n").UserLevel(), 1);
    EXPECT_EQ(With("[Preferences]\nUserLevel=2.5\n").UserLevel(), 1);
    EXPECT_EQ(With("[Preferences]\nUserLevel=0x2\n").UserLevel(), 1);
    EXPECT_EQ(With("[Preferences]\nUserLevel=1e99\n").UserLevel(), 1);
    EXPECT_EQ(With("[Preferences]\nUserLevel=99999999999999999999\n").UserLevel(), 1);
    EXPECT_EQ(With("[Preferences]\nUserLevel=.\n").UserLevel(), 1);
}

TEST_F(SettingsFile, BlockSizeIsPositiveOrTheUsualSize) {
    EXPECT_EQ(With("").BlockSize(), 200000000);
    EXPECT_EQ(With("[System]\nBlockSize=1000\n").BlockSize(), 1000);
    EXPECT_EQ(With("[System]\nBlockSize=0\n").BlockSize(), 200000000);
    EXPECT_EQ(With("[System]\nBlockSize=-5\n").BlockSize(), 200000000);
    EXPECT_EQ(With("[System]\nBlockSize=lots\n").BlockSize(), 200000000);
}

TEST_F(SettingsFile, FoldersAcceptBackslashes) {
    const std::string there = dir_.path();
    const auto s = With("[Merge]\nDir=$CURRENT\\merged\n[Preferences]\nBatchDefaultDir=" + there + "\n");
    EXPECT_EQ(s.MergeDir(), "$CURRENT/merged");
    EXPECT_EQ(s.BatchDefaultDir("/fallback"), there);
    EXPECT_EQ(With("[Preferences]\nBatchDefaultDir=" + there + "/gone\n").BatchDefaultDir("/fallback"), "/fallback");
    EXPECT_EQ(With("").BatchDefaultDir("/fallback"), "/fallback");
}

TEST_F(SettingsFile, EveryReadSeesTheLatestWrite) {
    const auto s = With("[Preferences]\r\nLang=ENG\r\n");
    s.WriteSetting("Preferences", "BatchDefaultDir", "/maps");
    EXPECT_EQ(s.ReadSetting("preferences", "batchdefaultdir"), "/maps");
    s.WriteSetting("Preferences", "BatchDefaultDir", "/maps2");
    EXPECT_EQ(s.ReadSetting("Preferences", "BatchDefaultDir"), "/maps2");
    EXPECT_EQ(s.Lang(), "ENG");
}

std::vector<settings::ZoomLevelEntry> Table() {
    return {{"a", 10, 20}, {"b", 30, 40}, {"c", 100, 120}};
}

TEST(ZoomLookup, RowAndPriorityOfAStoredScale) {
    const auto table = Table();
    auto m = settings::RowForScale(table, 30);
    EXPECT_EQ(m.row, 1);
    EXPECT_EQ(m.prioritised, true);
    m = settings::RowForScale(table, 40);
    EXPECT_EQ(m.row, 1);
    EXPECT_EQ(m.prioritised, false);
    m = settings::RowForScale(table, 99);
    EXPECT_EQ(m.row, 1);
    EXPECT_EQ(m.prioritised, false);
    m = settings::RowForScale(table, 10);
    EXPECT_EQ(m.row, 0);
    EXPECT_EQ(m.prioritised, true);
}

TEST(ZoomLookup, OutsideTheTable) {
    const auto table = Table();
    auto m = settings::RowForScale(table, 5);  // below the first MinScale
    EXPECT_EQ(m.row, 0);
    EXPECT_EQ(m.prioritised, false);
    m = settings::RowForScale(table, 5000);  // beyond the last row
    EXPECT_EQ(m.row, 2);
    EXPECT_FALSE(m.prioritised.has_value());
    EXPECT_EQ(settings::RowForScale({}, 5).row, -1);
}

TEST(ZoomLookup, ScaleForRow) {
    const auto table = Table();
    EXPECT_EQ(settings::ScaleForRow(table, 1, false), 40);
    EXPECT_EQ(settings::ScaleForRow(table, 1, true), 39);
    EXPECT_EQ(settings::RowForScale(table, settings::ScaleForRow(table, 1, true)).prioritised, true);
    EXPECT_EQ(settings::ScaleForRow(table, 3, false), 0);
    EXPECT_EQ(settings::ScaleForRow(table, -1, false), 0);
}

TEST(DefaultSettings, ShippedFileLoads) {
    const settings::Settings s(TESSALY_INI_PATH);
    settings::SettingsTables tables;
    ASSERT_TRUE(settings::CargarCombos(s, tables));
    EXPECT_EQ(s.Lang(), "ENG");
    EXPECT_EQ(s.UserLevel(), 1);
    EXPECT_EQ(s.BlockSize(), 200000000);
    EXPECT_EQ(s.MergeDir(), "");
    EXPECT_EQ(s.ReadSetting("Preferences", "BatchDefaultDir"), "");
    ASSERT_EQ(tables.ZoomTable.size(), 27u);
    EXPECT_EQ(tables.ZoomTable[0].Name, "5 m");
    EXPECT_EQ(tables.ZoomTable[26].StandardScale, 1223072);
    for (std::size_t r = 1; r < tables.ZoomTable.size(); ++r) {
        EXPECT_LT(tables.ZoomTable[r - 1].MinScale, tables.ZoomTable[r].MinScale);
        EXPECT_LE(tables.ZoomTable[r].MinScale, tables.ZoomTable[r].StandardScale);
        // Every standard Scale must find its own row again.
        EXPECT_EQ(settings::RowForScale(tables.ZoomTable, tables.ZoomTable[r].StandardScale).row, static_cast<int>(r));
    }
    EXPECT_GE(tables.Groups.size(), 3u);
    EXPECT_EQ(tables.Groups[0].Name, "BirdsEye Satellite Imagery Subscription");
    for (const auto& dir : tables.LevelDirs) EXPECT_EQ(dir, "");
}

}  // namespace

// The installed default is read-only: the first write must land in the user's copy and
// leave the default as it was, and later reads must see the user's copy.
TEST(ProgramSettings, FirstWriteCopiesTheDefaultToTheUserFolder) {
    fixture::TempDir dir;
    const std::string installed = dir.file("Tessaly.ini");
    const std::string original = "[Preferences]\nLang=ESP\n";
    fixture::WriteBytes(installed, fixture::Bytes(original.begin(), original.end()));
    const std::string user = dir.file("config/tessaly/Tessaly.ini");

    const settings::Settings s(installed, user);
    EXPECT_TRUE(s.IsSpanish());
    s.WriteSetting("Preferences", "BatchDefaultDir", dir.path());
    const auto after = fixture::ReadBytes(installed);
    EXPECT_EQ(std::string(after.begin(), after.end()), original);
    EXPECT_EQ(s.Path(), user);
    EXPECT_EQ(settings::Settings(user).Lang(), "ESP");
    EXPECT_EQ(s.BatchDefaultDir("/"), dir.path());
}

TEST(ProgramSettings, UserCopyWinsOnceItExists) {
    fixture::TempDir dir;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    EXPECT_EQ(settings::UserSettingsPath(), dir.path() + "/tessaly/Tessaly.ini");
    EXPECT_NE(settings::DefaultSettingsPath(), settings::UserSettingsPath());
    std::filesystem::create_directories(dir.path() + "/tessaly");
    fixture::WriteBytes(settings::UserSettingsPath(), {'[', 'x', ']', '\n'});
    EXPECT_EQ(settings::DefaultSettingsPath(), settings::UserSettingsPath());
    if (old) setenv("XDG_CONFIG_HOME", saved.c_str(), 1); else unsetenv("XDG_CONFIG_HOME");
}
