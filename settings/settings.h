// The settings file Tessaly.ini and the tables built from it.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"

namespace settings {

inline constexpr const char* kIniFileName = "Tessaly.ini";
// The file names one key per level for the first five levels of a map (LevelDir1 to
// LevelDir5, five zoom presets per group): as many levels as a unit shows.
inline constexpr int kLevelKeys = 5;

// One settings file. Every read goes to the file, so a key written meanwhile is seen.
class Settings {
public:
    explicit Settings(std::string iniPath) : path_(std::move(iniPath)) {}
    // Reads readPath until the first write, which first copies it to userPath (creating
    // its folder) and from then on reads and writes there: an installed program's own
    // folder is read-only, the user's config folder is not.
    Settings(std::string readPath, std::string userPath)
        : path_(std::move(readPath)), userPath_(std::move(userPath)) {}
    const std::string& Path() const { return path_; }

    // The value (cut at 255 characters), or "" when the section or key is absent.
    std::string ReadSetting(const std::string& section, const std::string& key) const;
    // Writes one key; a failure leaves the file as it was and says why.
    platform::Error WriteSetting(const std::string& section, const std::string& key, const std::string& value) const;

    std::string Lang() const;                  // Preferences/Lang as written ("" = missing)
    int UserLevel() const;                     // 1 when absent or not a number; "2.0" counts as 2
    // 200000000 when absent; 0, which every rewrite refuses, when not a positive whole number.
    std::int64_t BlockSize() const;
    std::string MergeDir() const;              // Merge/Dir as written, separators normalised
    // Preferences/BatchDefaultDir, or fallback when it is absent or names no folder.
    std::string BatchDefaultDir(const std::string& fallback) const;

private:
    mutable std::string path_;
    std::string userPath_;
};

// The per-user copy ($XDG_CONFIG_HOME/tessaly/Tessaly.ini, by default under ~/.config)
// when it exists; else Tessaly.ini beside the executable; else the installed default in
// <prefix>/share/tessaly.
std::string DefaultSettingsPath();
// Where the per-user copy lives (it may not exist yet); "" when no home folder is known.
std::string UserSettingsPath();
// The settings of the running program, with the copy-on-first-write rule above.
Settings ProgramSettings();

struct ZoomLevelEntry {
    std::string Name;
    std::int32_t MinScale = 0;
    std::int32_t StandardScale = 0;
};

struct GroupEntry {
    std::string Name;
    std::int32_t ProductId = 0;
};

// Per level 1..5: the 0-based ZoomTable row to select, -1 for no selection, -2 to keep.
struct GroupZoomEntry {
    std::array<std::int16_t, kLevelKeys> ZoomIndex{-2, -2, -2, -2, -2};
};

struct VersionItem {
    std::string Text;
    int Version = 0;
};

struct SettingsTables {
    std::vector<ZoomLevelEntry> ZoomTable;
    std::array<std::string, kLevelKeys> LevelDirs;  // as written; "$CURRENT" matched without regard to case
    std::vector<GroupEntry> Groups;
    std::vector<GroupZoomEntry> GroupZoomTable;  // same index as Groups
    std::vector<VersionItem> TargetVersions;
};

// Nothing when path can be read as a settings file; else why not.
platform::Error SettingsFileProblem(const std::string& path);

// Builds the tables; false on the first malformed value or zoom row not above the one
// before it, or when the file is there but cannot be read (the config-file message follows).
bool CargarCombos(const Settings& settings, SettingsTables& tables);

// Row of a stored Scale: the row before the first whose MinScale exceeds it. A Scale
// beyond the table gives the last row with no priority derived; one below the first row's
// MinScale gives the first row, not prioritised. Empty table: no row.
struct ZoomMatch {
    int row = -1;
    std::optional<bool> prioritised;  // nothing when the table does not say
};
ZoomMatch RowForScale(const std::vector<ZoomLevelEntry>& table, std::int32_t scale);
// Scale written for a level whose choice is row (StandardScale, minus 1 with priority);
// 0 for a row outside the table.
std::int32_t ScaleForRow(const std::vector<ZoomLevelEntry>& table, int row, bool priority);

}  // namespace settings
