#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <tuple>

#include "platform/ini.h"
#include "settings/level_ranges.h"
#include "settings/scale_model.h"
#include "settings/settings.h"
#include "support/jnx_builder.h"

namespace {

using fixture::TempDir;

class SettingsFile : public testing::Test {
protected:
    settings::Settings With(const std::string& text) {
        fixture::WriteBytes(dir_.file("Tessaly.ini"), fixture::Bytes(text.begin(), text.end()));
        return settings::Settings(dir_.file("Tessaly.ini"));
    }
    bool Load(const std::string& text) { return settings::CargarCombos(With(text), tables_); }

    TempDir dir_;
    settings::SettingsTables tables_;
};

const std::string kZoom = "[ZoomLevels]\nLevel1=1/8/5 m\nLevel2=11/13/8 m\nLevel3=16/19/12 m\n";

TEST_F(SettingsFile, TablesAsWritten) {
    ASSERT_TRUE(Load(kZoom + "Level5=25/31/20 m\n"  // the table ends at the first gap
                     "[Groups]\nGroup1=0/BirdsEye\nGroupZooms1=1, 3,0,-1,-2\n"
                     "Group2= 12 / Trails/Roads/Rivers \nGroupZooms2=\nGroup4=4/Never\n"
                     "[Split]\nLevelDir2=$current\\Levels\\Two\nLevelDir5=/Maps/Out\n"));
    ASSERT_EQ(std::tuple(tables_.ZoomTable.size(), tables_.Groups.size(), tables_.GroupZoomTable.size()),
              std::tuple(3u, 2u, 2u));
    // A group's name is split off at the first slash only.
    EXPECT_EQ(std::tuple(tables_.ZoomTable[1].Name, tables_.ZoomTable[1].StandardScale, tables_.Groups[1].ProductId,
                         tables_.Groups[1].Name),
              std::tuple("8 m", 13, 12, "Trails/Roads/Rivers"));
    using Z = std::array<std::int16_t, 5>;
    EXPECT_EQ(std::pair(tables_.GroupZoomTable[0].ZoomIndex, tables_.GroupZoomTable[1].ZoomIndex),
              std::pair(Z{0, 2, 0, -1, -2}, Z{-2, -2, -2, -2, -2}));
    EXPECT_EQ(tables_.LevelDirs, (std::array<std::string, 5>{"", "$current/Levels/Two", "", "", "/Maps/Out"}));
    EXPECT_EQ(tables_.TargetVersions.size(), 2u);
}

TEST_F(SettingsFile, MalformedValuesFailTheLoad) {
    const std::string group = kZoom + "[Groups]\nGroup1=0/A\n";
    const std::string malformed[] = {
             kZoom + "Level4=100/200/a/b/c\n",
             "[ZoomLevels]\nLevel1=1/8\n",
             "[ZoomLevels]\nLevel1=1/99999999999/5 m\n",
             kZoom + "[Groups]\nGroup1=x/Name\n",
             group + "GroupZooms1=4,1,1,1,1\n",  // three rows only
             group + "GroupZooms1=1,1,1,1,-3\n",
             group + "GroupZooms1=1,1,1,1,1,1\n",
             group + "GroupZooms1=1,1,x,1,1\n",
             "[Groups]\nGroup1=0/A\nGroupZooms1=0,0,0,0,0\n",  // no zoom table at all
             kZoom + "Level4=16/40/12 m again\n",                  // rows must ascend by MinScale
             "[ZoomLevels]\nLevel1=10/20/a\nLevel2=5/30/b\n",
             kZoom + std::string("\0", 1),                      // not text, though it starts as such
             kZoom + std::string(platform::kIniSizeLimit, ';'),  // too large to be settings
    };
    for (const auto& text : malformed) EXPECT_FALSE(Load(text)) << text.substr(0, 80);
}

// The size limit is a limit on what is read: at it a file is still settings, one byte over it
// reads as nothing and is never rewritten from the part that was read.
TEST_F(SettingsFile, SizeLimitIsExact) {
    const std::string head = "[A]\nk=v\n";
    const std::string full = head + std::string(platform::kIniSizeLimit - head.size(), ' ');
    EXPECT_EQ(With(full).ReadSetting("A", "k"), "v");
    const settings::Settings over = With(full + " ");
    EXPECT_EQ(over.ReadSetting("A", "k"), "");
    EXPECT_TRUE(over.WriteSetting("A", "k", "w"));
    EXPECT_EQ(fixture::ReadBytes(over.Path()).size(), platform::kIniSizeLimit + 1);
}

TEST_F(SettingsFile, ValuesOrTheirDefaults) {
    for (const auto& [value, level] : std::initializer_list<std::pair<const char*, int>>{
             {"", 1}, {" 2.0 ", 2}, {"2.5", 1}, {"1e99", 1}, {"4294967298", 1}})
        EXPECT_EQ(With(std::string("[Preferences]\nUserLevel=") + value + "\n").UserLevel(), level) << value;
    for (const auto& [value, size] : std::initializer_list<std::pair<const char*, std::int64_t>>{
             {"", 200000000}, {"1000", 1000}, {"0", 0}, {"-4096", 0}, {"12 MB", 0}})  // 0: every rewrite refuses
        EXPECT_EQ(With(std::string("[System]\nBlockSize=") + value + "\n").BlockSize(), size) << value;
    const std::string there = dir_.path();
    const auto s = With("[Merge]\nDir=$CURRENT\\merged\n[Preferences]\nBatchDefaultDir=" + there + "\n");
    EXPECT_EQ(std::tuple(s.MergeDir(), s.BatchDefaultDir("/fallback")), std::tuple("$CURRENT/merged", there));
    EXPECT_EQ(With("[Preferences]\nBatchDefaultDir=" + there + "/gone\n").BatchDefaultDir("/fallback"), "/fallback");
}

TEST(ZoomLookup, RowAndPriorityOfAStoredScaleAndBack) {
    const std::vector<settings::ZoomLevelEntry> table{{"a", 10, 20}, {"b", 30, 40}, {"c", 100, 120}};
    struct Case {
        std::int32_t scale;
        int row;
        std::optional<bool> prioritised;
    };
    for (const Case& c : {Case{30, 1, true}, Case{39, 1, true}, Case{40, 1, false}, Case{99, 1, false},
                          Case{10, 0, true}, Case{5, 0, false},  // below the first MinScale
                          Case{5000, 2, std::nullopt}}) {      // beyond the last row
        const auto m = settings::RowForScale(table, c.scale);
        EXPECT_EQ(std::pair(m.row, m.prioritised), std::pair(c.row, c.prioritised)) << c.scale;
    }
    EXPECT_EQ(settings::RowForScale({}, 5).row, -1);
    EXPECT_EQ(std::tuple(settings::ScaleForRow(table, 1, false), settings::ScaleForRow(table, 1, true),
                         settings::ScaleForRow(table, 3, false), settings::ScaleForRow(table, -1, false)),
              std::tuple(40, 39, 0, 0));
}

// Each level's rows as "coarsest-finest", "under K" when level K hides it everywhere, or
// "never" when no row reaches down to its scale.
TEST(LevelRanges, WhichLevelEachZoomDraws) {
    const std::vector<settings::ZoomLevelEntry> table{{"a", 10, 20}, {"b", 30, 40}, {"c", 100, 120}, {"d", 300, 500}};
    struct Case {
        std::vector<std::int32_t> scales;
        std::string ranges;
    };
    for (const Case& c : {Case{{500, 120, 20}, "3-3 2-1 0-0"},  // each takes over from the coarser one
                          Case{{20, 500, 120}, "0-0 3-3 2-1"},  // the file's order does not matter
                          Case{{119}, "1-0"},                   // one below a row misses that row
                          Case{{5000}, "3-0"},                  // beyond the table: every row
                          Case{{120, 130, 40}, "2-2 under 0 1-0"},
                          Case{{40, 40}, "1-0 under 0"},  // of equal scales the first is drawn
                          Case{{19, 500}, "never 3-0"}}) {
        std::string shown;
        const auto ranges = settings::LevelRanges(table, c.scales);
        for (const settings::LevelRange& r : ranges) {
            if (!shown.empty()) shown += ' ';
            shown += r.Shown() ? std::to_string(r.coarsestRow) + "-" + std::to_string(r.finestRow)
                     : r.coveredBy >= 0 ? "under " + std::to_string(r.coveredBy)
                                        : std::string("never");
        }
        EXPECT_EQ(shown, c.ranges);
    }
    EXPECT_EQ(settings::LevelDrawnAt(table, {119}, 2), -1);  // nothing shown at this zoom
    EXPECT_EQ(settings::LevelDrawnAt(table, {119}, 4), -1);
}

// The one scale model against the shipped rows: a level of web-map tiles given its native
// scale under a profile first shows at a row whose screen shows its ground pixels at one
// to two screen pixels, at every latitude and zoom and under every profile; a row apart
// of that (what an unfitted map gets) is not.
TEST(ScaleModel, FittedLevelFirstShowsAtItsOwnRow) {
    settings::SettingsTables tables;
    ASSERT_TRUE(settings::CargarCombos(settings::Settings(TESSALY_INI_PATH), tables));
    EXPECT_EQ(settings::NativeScale(156543.03 / (1 << 14) * std::cos(45 * M_PI / 180)), 1339);  // the importer's figure
    for (const settings::DeviceProfile& profile : settings::DeviceProfiles())
        for (double latitude : {0.0, 30.0, 46.0, 60.0, 70.0})
            for (int zoom = 8; zoom <= 17; ++zoom) {
                const double metres = settings::GroundMetresPerPixel(360.0 / 256 / (1 << zoom), latitude);
                const std::int32_t scale = settings::NativeScale(metres, profile.factor);
                const int row = settings::LevelRanges(tables.ZoomTable, {scale}, profile.factor)[0].coarsestRow;
                ASSERT_GE(row, 0) << profile.name << " " << latitude << " " << zoom;
                const std::int32_t rowScale = tables.ZoomTable[std::size_t(row)].StandardScale;
                const double ratio = metres / settings::ScreenMetresPerPixel(rowScale);
                EXPECT_TRUE(ratio >= 0.999 && ratio < 2.01) << profile.name << " " << latitude << " " << zoom;
                EXPECT_EQ(settings::CoarsestQualifyingRow(tables.ZoomTable, scale, profile.factor), row);
                EXPECT_LT(settings::CoarsestQualifyingRow(tables.ZoomTable, scale, profile.factor * 4), row);
            }
    EXPECT_EQ(settings::FindDeviceProfile("GPSMAP67")->factor, 3.5);
    EXPECT_EQ(settings::FindDeviceProfile("gpsmap"), nullptr);
}

// The installed default is read-only: the first write must land in the user's copy and
// leave the default as it was, and later reads must see the user's copy, which wins as the
// default once it exists.
TEST(ProgramSettings, FirstWriteCopiesTheDefaultToTheUserFolder) {
    TempDir dir;
    const std::string installed = dir.file("Tessaly.ini");
    const std::string original = "[Preferences]\nLang=ESP\n";
    fixture::WriteBytes(installed, fixture::Bytes(original.begin(), original.end()));
    const std::string user = dir.file("tessaly/Tessaly.ini");
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    EXPECT_EQ(settings::UserSettingsPath(), user);
    EXPECT_NE(settings::DefaultSettingsPath(), user);

    const settings::Settings s(installed, user);
    s.WriteSetting("Preferences", "BatchDefaultDir", dir.path());
    EXPECT_EQ(fixture::ReadBytes(installed), fixture::Bytes(original.begin(), original.end()));
    EXPECT_EQ(s.Path(), user);
    EXPECT_EQ(settings::Settings(user).Lang(), "ESP");
    EXPECT_EQ(s.BatchDefaultDir("/"), dir.path());  // a read after a write sees it
    s.WriteSetting("Preferences", "BatchDefaultDir", "/");
    EXPECT_EQ(s.ReadSetting("preferences", "batchdefaultdir"), "/");
    EXPECT_EQ(settings::DefaultSettingsPath(), user);
    if (old) setenv("XDG_CONFIG_HOME", saved.c_str(), 1); else unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
