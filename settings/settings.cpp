#include "settings/settings.h"

#include <charconv>
#include <cstdlib>
#include <limits>

#include "platform/binary_file.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/text.h"

namespace settings {
namespace {

constexpr std::int64_t kBadBlockSize = 0;
constexpr int kDefaultUserLevel = 1;

std::vector<std::string> SplitAt(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const auto cut = text.find(separator, start);
        if (cut == std::string::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, cut - start));
        start = cut + 1;
    }
}

// A whole number written the way a person may type it: optional sign, digits, and an
// optional fraction of zeros ("2", "-3", "2.0"). Parsed by hand, since strtod follows the
// process locale, which a desktop program sets from the user's.
std::optional<long long> ParseWholeDecimal(const std::string& text) {
    const std::string t = platform::Trim(text);
    std::size_t i = 0;
    const bool negative = i < t.size() && t[i] == '-';
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    const std::size_t intStart = i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
    const std::size_t intEnd = i;
    bool fractionDigits = false;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && t[i] == '0') ++i, fractionDigits = true;
    }
    if (i != t.size() || (intEnd == intStart && !fractionDigits)) return std::nullopt;
    long long value = 0;
    if (intEnd > intStart) {
        const auto [end, ec] = std::from_chars(t.data() + intStart, t.data() + intEnd, value);
        if (ec != std::errc() || end != t.data() + intEnd) return std::nullopt;
    }
    return negative ? -value : value;
}

}  // namespace

std::string Settings::ReadSetting(const std::string& section, const std::string& key) const {
    return platform::IniRead(path_, section, key);
}

platform::Error Settings::WriteSetting(const std::string& section, const std::string& key,
                                       const std::string& value) const {
    platform::Error error;
    if (!userPath_.empty() && path_ != userPath_) {
        if (!platform::CreateFolderPath(platform::ParentFolder(userPath_), error)) return error;
        if (!platform::FileExists(userPath_) && !platform::CopyFile(path_, userPath_, error)) return error;
        path_ = userPath_;
    }
    platform::IniWrite(path_, section, key, value, error);
    return error;
}

std::string Settings::Lang() const { return ReadSetting("Preferences", "Lang"); }


int Settings::UserLevel() const {
    // "2.5" or "two" name no level; both leave the group-preset mode off.
    const auto value = ParseWholeDecimal(ReadSetting("Preferences", "UserLevel"));
    if (!value || *value < std::numeric_limits<int>::min() || *value > std::numeric_limits<int>::max()) {
        return kDefaultUserLevel;
    }
    return static_cast<int>(*value);
}

std::int64_t Settings::BlockSize() const {
    const std::string text = platform::Trim(ReadSetting("System", "BlockSize"));
    if (text.empty()) return platform::kDefaultBlockSize;
    std::int64_t value = 0;
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(text.data(), last, value);
    // A size the user wrote and we cannot use is reported where files are rewritten, not
    // quietly replaced by one the user did not choose.
    if (ec != std::errc() || end != last || value <= 0) return kBadBlockSize;
    return value;
}

std::string Settings::MergeDir() const { return platform::NormalizeSeparators(ReadSetting("Merge", "Dir")); }

std::string Settings::BatchDefaultDir(const std::string& fallback) const {
    const std::string folder = platform::NormalizeSeparators(ReadSetting("Preferences", "BatchDefaultDir"));
    if (folder.empty() || !platform::FolderExists(folder)) return fallback;
    return folder;
}

std::string UserSettingsPath() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        base = platform::JoinPath(home, ".config");
    } else {
        return {};
    }
    return platform::JoinPath(platform::JoinPath(base, "tessaly"), kIniFileName);
}

std::string DefaultSettingsPath() {
    const std::string user = UserSettingsPath();
    if (!user.empty() && platform::FileExists(user)) return user;
    const std::string program = platform::ProgramFolder();
    const std::string beside = platform::JoinPath(program, kIniFileName);
    if (platform::FileExists(beside)) return beside;
    const std::string installed =
        platform::JoinPath(platform::JoinPath(platform::ParentFolder(program), "share/tessaly"), kIniFileName);
    if (platform::FileExists(installed)) return installed;
    return beside;
}

Settings ProgramSettings() { return Settings(DefaultSettingsPath(), UserSettingsPath()); }

platform::Error SettingsFileProblem(const std::string& path) {
    std::string text;
    platform::Error error;
    platform::IniLoad(path, text, error);
    return error;
}

bool CargarCombos(const Settings& settings, SettingsTables& tables) {
    tables = SettingsTables{};
    // One reading of the file for every key: a table of many rows must not cost a pass per row.
    std::string text;
    platform::Error unloadable;
    if (!platform::IniLoad(settings.Path(), text, unloadable) &&
        unloadable.code != platform::ErrorCode::SettingsMissing) {
        return false;
    }
    const platform::IniKeys keys(text);

    for (int n = 1;; ++n) {
        const std::string value = keys.Read("ZoomLevels", "Level" + std::to_string(n));
        if (platform::Trim(value).empty()) break;
        const auto parts = SplitAt(value, '/');
        if (parts.size() != 3) return false;
        const auto minScale = platform::ParseInt32(parts[0]);
        const auto standardScale = platform::ParseInt32(parts[1]);
        if (!minScale || !standardScale) return false;
        // A stored scale finds its row by MinScale; out of order, rows would be unreachable.
        if (!tables.ZoomTable.empty() && *minScale <= tables.ZoomTable.back().MinScale) return false;
        tables.ZoomTable.push_back(ZoomLevelEntry{parts[2], *minScale, *standardScale});
    }

    for (std::size_t i = 0; i < tables.LevelDirs.size(); ++i) {
        tables.LevelDirs[i] = platform::NormalizeSeparators(keys.Read("Split", "LevelDir" + std::to_string(i + 1)));
    }

    const auto rows = static_cast<int>(tables.ZoomTable.size());
    for (int n = 1;; ++n) {
        const std::string value = keys.Read("Groups", "Group" + std::to_string(n));
        if (platform::Trim(value).empty()) break;
        const auto slash = value.find('/');
        if (slash == std::string::npos) return false;
        const auto productId = platform::ParseInt32(value.substr(0, slash));
        if (!productId) return false;
        tables.Groups.push_back(GroupEntry{platform::Trim(value.substr(slash + 1)), *productId});

        GroupZoomEntry zooms;
        const std::string presets = keys.Read("Groups", "GroupZooms" + std::to_string(n));
        if (!platform::Trim(presets).empty()) {
            const auto parts = SplitAt(presets, ',');
            if (parts.size() != zooms.ZoomIndex.size()) return false;
            for (std::size_t k = 0; k < parts.size(); ++k) {
                const auto m = platform::ParseInt16(parts[k]);
                if (!m) return false;
                const int index = *m > 0 ? *m - 1 : *m;
                // A preset that names no row would select nothing the user could see as chosen.
                if (index < -2 || index >= rows) return false;
                zooms.ZoomIndex[k] = static_cast<std::int16_t>(index);
            }
        }
        tables.GroupZoomTable.push_back(zooms);
    }

    tables.TargetVersions = {{"JNX v3", 3}, {"JNX v4", 4}};
    return true;
}

ZoomMatch RowForScale(const std::vector<ZoomLevelEntry>& table, std::int32_t scale) {
    ZoomMatch match;
    if (table.empty()) return match;
    if (scale < table.front().MinScale) {
        match.row = 0;
        match.prioritised = false;
        return match;
    }
    for (std::size_t r = 1; r < table.size(); ++r) {
        if (table[r].MinScale > scale) {
            match.row = static_cast<int>(r) - 1;
            match.prioritised = scale < table[r - 1].StandardScale;
            return match;
        }
    }
    match.row = static_cast<int>(table.size()) - 1;
    return match;
}

std::int32_t ScaleForRow(const std::vector<ZoomLevelEntry>& table, int row, bool priority) {
    if (row < 0 || row >= static_cast<int>(table.size())) return 0;
    const std::int32_t standard = table[static_cast<std::size_t>(row)].StandardScale;
    if (priority && standard > std::numeric_limits<std::int32_t>::min()) return standard - 1;
    return standard;
}

}  // namespace settings
