// tessaly-cli scan: the batch window's folder table.
#include <algorithm>
#include <cstdint>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "batch/batch_table.h"
#include "batch/folder_scan.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "platform/fs.h"
#include "settings/settings.h"

namespace cli {

namespace {

std::size_t Characters(const std::string& text) {
    std::size_t count = 0;
    for (unsigned char c : text) count += (c & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

// The device check's answer for a row, from the same read as the row: a map is ready
// only when it was read, tile tables included, and nothing was found.
const char* DeviceAnswer(const batch::MapRow& row) {
    if (row.Erroneous()) return "unread";
    if (check::HasErrors(row.device)) return "errors";
    return check::CountOf(row.device, check::Severity::Warning) == 0 ? "ready" : "warnings";
}

// One object per file, typed: numbers as numbers, flags as booleans, null where the file
// has no value, and for a file that could not be read an error with its code and reason.
void PrintJson(const batch::BatchTable& table, std::ostream& out) {
    JsonWriter json;
    json.BeginArray();
    for (const batch::MapRow& row : table.rows) {
        const bool read = !row.Erroneous();
        // A value the file has, or null for a file that could not be read.
        const auto number = [&](const char* key, std::optional<std::int64_t> value) {
            json.Key(key);
            value ? json.Int(*value) : json.Null();
        };
        const auto ifRead = [read](std::int64_t value) {
            return read ? std::optional<std::int64_t>(value) : std::nullopt;
        };
        json.BeginObject();
        json.Key("file").Name(platform::FileNameOf(row.path));
        json.Key("path").Name(row.path);
        json.Key("subfolder").Name(row.subfolder);
        number("version", ifRead(row.version));
        number("product_id", ifRead(row.productId));
        json.Key("group_name");
        read ? json.String(row.groupName) : json.Null();
        number("levels", ifRead(row.levelCount));
        json.Key("zoom_rows").BeginArray();
        for (const batch::MapLevel& level : row.levels)
            if (level.zoomRow >= 0) json.String(level.zoomName);
        json.EndArray();
        json.Key("priorities").BeginArray();
        for (const batch::MapLevel& level : row.levels) json.Bool(level.prioritised);
        json.EndArray();
        number("total_tiles", ifRead(row.totalTiles));
        number("draw_order", row.drawOrder);
        json.Key("needs_regeneration").Bool(row.needsRegeneration);
        json.Key("with_bug").Bool(row.withBug);
        json.Key("device").String(DeviceAnswer(row));
        json.Key("device_codes").BeginArray();
        for (const check::Finding& finding : row.device) json.String(check::CodeName(finding.code));
        json.EndArray();
        json.Key("error");
        if (read) {
            json.Null();
        } else {
            json.BeginObject();
            json.Key("code").String(platform::ErrorCodeName(row.readError->code));
            json.Key("message").String(platform::ErrorText(*row.readError));
            json.EndObject();
        }
        json.EndObject();
    }
    json.EndArray();
    out << json.Text() << "\n";
}

// The text table's columns, as the manual names them.
// clang-format off
constexpr const char* kColumns[] = {
    "GroupID", "GroupName", "NumLevels", "ZoomLevel1", "ZoomLevel2", "ZoomLevel3", "ZoomLevel4", "ZoomLevel5",
    "TotalTiles", "JNXVersion", "DrawOrder", "Priority1", "Priority2", "Priority3", "Priority4", "Priority5",
    "Filename", "fullFileName", "NeedTMP", "WithBug"};
// clang-format on
constexpr std::size_t kColumnCount = std::size(kColumns);
constexpr std::size_t kZoomColumn = 3, kPriorityColumn = 11;
static_assert(kColumnCount == 10 + 2 * jnx::device::kMaxLevels);

// A row's cells in the manual's words: flags S (yes) and N (no), and an unreadable file
// marked ?? and ERROR AL CARGAR, as scripts written for the table expect.
std::vector<std::string> Cells(const batch::MapRow& row) {
    std::vector<std::string> cells(kColumnCount);
    const auto flag = [](bool yes) { return std::string(yes ? "S" : "N"); };
    cells[16] = row.fileName;
    cells[17] = row.path;
    if (row.Erroneous()) {
        cells[0] = "??";
        cells[1] = "ERROR AL CARGAR";
        return cells;
    }
    cells[0] = std::to_string(row.productId);
    cells[1] = row.groupName;
    cells[2] = std::to_string(row.levelCount);
    for (std::size_t k = 0; k < row.levels.size(); ++k) {
        cells[kZoomColumn + k] = row.levels[k].zoomName;
        cells[kPriorityColumn + k] = flag(row.levels[k].prioritised);
    }
    cells[8] = std::to_string(row.totalTiles);
    cells[9] = std::to_string(row.version);
    if (row.drawOrder) cells[10] = std::to_string(*row.drawOrder);
    cells[18] = flag(row.needsRegeneration);
    cells[19] = flag(row.withBug);
    return cells;
}

// Each column as wide as its longest value or name.
void PrintTable(const batch::BatchTable& table, std::ostream& out) {
    std::vector<std::vector<std::string>> lines{std::vector<std::string>(std::begin(kColumns), std::end(kColumns))};
    for (const auto& row : table.rows) lines.push_back(Cells(row));
    std::vector<std::size_t> widths(kColumnCount, 0);
    for (const auto& cells : lines)
        for (std::size_t c = 0; c < kColumnCount; ++c) widths[c] = std::max(widths[c], Characters(cells[c]));
    for (const auto& cells : lines) {
        std::string text;
        for (std::size_t c = 0; c < kColumnCount; ++c) {
            text += cells[c];
            if (c + 1 < kColumnCount) text += std::string(widths[c] - Characters(cells[c]) + 2, ' ');
        }
        // Empty trailing columns leave no blanks at the end of the line.
        text.erase(text.find_last_not_of(' ') + 1);
        out << text << "\n";
    }
}

int Run(const ParsedArgs& parsed) {
    const settings::Settings config = LoadSettings(parsed);
    settings::SettingsTables tables;
    if (!settings::CargarCombos(config, tables)) {
        std::cerr << "tessaly-cli: the settings file " << config.Path() << " has a malformed value\n";
        return kExitFailed;
    }

    const std::string& folder = parsed.operands.front();
    batch::BatchTable table;
    const batch::ScanResult result = batch::LoadFolder(table, folder, tables.ZoomTable, parsed.Has("--recursive"));
    if (!result.ok) {
        std::cerr << "tessaly-cli scan: " << platform::ErrorText(result.error) << "\n";
        return kExitFailed;
    }
    for (const auto& skipped : result.skippedFolders) {
        std::cerr << "tessaly-cli scan: cannot read folder " << skipped << "\n";
    }
    if (parsed.Has("--json")) {
        PrintJson(table, std::cout);
    } else {
        PrintTable(table, std::cout);
    }
    // The table is printed whole either way; a file or folder it lacks fails the command.
    const bool unread =
        !result.skippedFolders.empty() ||
        std::any_of(table.rows.begin(), table.rows.end(), [](const batch::MapRow& row) { return row.Erroneous(); });
    return unread ? kExitFailed : kExitOk;
}

}  // namespace

extern const Command kScanCommand{
    "scan", "FOLDER", 1, 1,
    "Print the batch table of the JNX files in a folder: one line per file with its group, levels, zoom rows, "
    "tiles, version, draw order, priorities, name and whether it must be regenerated; the JSON also says what "
    "the device check makes of each file's tables.",
    {
        {"--recursive", nullptr, "include the subfolders", false, "-r"},
        {"--json", nullptr, "print a JSON array with one typed object per file (see the manual)"},
        kSettingsOption,
    },
    Run,
};

}  // namespace cli
