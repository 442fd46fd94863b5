// tessaly-cli scan: the batch window's folder table.
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "batch/batch_table.h"
#include "batch/folder_scan.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "platform/fs.h"
#include "platform/text.h"
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
const char* DeviceAnswer(const batch::BatchRow& row) {
    if (row.Erroneous()) return "unread";
    if (check::HasErrors(row.device)) return "errors";
    return row.device.empty() ? "ready" : "warnings";
}

// A number field as a number; null where the row has none (an unreadable file, a version 3
// map's draw order).
void NumberOrNull(JsonWriter& json, const std::string& key, const std::string& text) {
    json.Key(key);
    if (const auto number = platform::ParseInt32(text)) {
        json.Int(*number);
    } else {
        json.Null();
    }
}

// One object per file, typed: numbers as numbers, flags as booleans, null where the file
// has no value, and for a file that could not be read an error with its code and reason.
void PrintJson(const batch::BatchTable& table, std::ostream& out) {
    JsonWriter json;
    json.BeginArray();
    for (const batch::BatchRow& row : table.rows) {
        const bool read = !row.Erroneous();
        json.BeginObject();
        json.Key("file").Name(platform::FileNameOf(row.FullFileName()));
        json.Key("path").Name(row.FullFileName());
        NumberOrNull(json, "version", row[batch::kJNXVersion]);
        NumberOrNull(json, "product_id", read ? row[batch::kGroupID] : "");
        json.Key("group_name");
        read ? json.String(row[batch::kGroupName]) : json.Null();
        NumberOrNull(json, "levels", row[batch::kNumLevels]);
        json.Key("zoom_rows").BeginArray();
        for (int k = 0; read && k < jnx::device::kMaxLevels; ++k)
            if (!row[batch::kZoomLevel1 + k].empty()) json.String(row[batch::kZoomLevel1 + k]);
        json.EndArray();
        json.Key("priorities").BeginArray();
        for (int k = 0; read && k < jnx::device::kMaxLevels; ++k)
            if (!row[batch::kPriority1 + k].empty()) json.Bool(row.Prioritised(k));
        json.EndArray();
        NumberOrNull(json, "total_tiles", row[batch::kTotalTiles]);
        NumberOrNull(json, "draw_order", row[batch::kDrawOrder]);
        json.Key("needs_regeneration").Bool(row[batch::kNeedTMP] == batch::kYes);
        json.Key("with_bug").Bool(row[batch::kWithBug] == batch::kYes);
        json.Key("device").String(DeviceAnswer(row));
        json.Key("device_codes").BeginArray();
        for (const check::Finding& finding : row.device) json.String(check::CodeName(finding.code));
        json.EndArray();
        json.Key("error");
        if (read) {
            json.Null();
        } else {
            json.BeginObject();
            json.Key("code").String(platform::ErrorCodeName(row.readError.code));
            json.Key("message").String(platform::ErrorText(row.readError));
            json.EndObject();
        }
        json.EndObject();
    }
    json.EndArray();
    out << json.Text() << "\n";
}

// Every field but the check mark, each column as wide as its longest value or name.
void PrintTable(const batch::BatchTable& table, std::ostream& out) {
    std::vector<std::size_t> widths(batch::kColumnCount, 0);
    for (int c = batch::kGroupID; c < batch::kColumnCount; ++c) {
        widths[static_cast<std::size_t>(c)] = Characters(batch::kFields[static_cast<std::size_t>(c)].name);
        for (const auto& row : table.rows)
            widths[static_cast<std::size_t>(c)] = std::max(widths[static_cast<std::size_t>(c)], Characters(row[c]));
    }
    auto line = [&](auto cell) {
        std::string text;
        for (int c = batch::kGroupID; c < batch::kColumnCount; ++c) {
            const std::string value = cell(c);
            text += value;
            if (c + 1 < batch::kColumnCount)
                text += std::string(widths[static_cast<std::size_t>(c)] - Characters(value) + 2, ' ');
        }
        // Empty trailing columns leave no blanks at the end of the line.
        text.erase(text.find_last_not_of(' ') + 1);
        out << text << "\n";
    };
    line([](int c) { return std::string(batch::kFields[static_cast<std::size_t>(c)].name); });
    for (const auto& row : table.rows) line([&](int c) { return row[c]; });
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
    const bool unread = !result.skippedFolders.empty() ||
                        std::any_of(table.rows.begin(), table.rows.end(),
                                    [](const batch::BatchRow& row) { return row.Erroneous(); });
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
