// tessaly-cli scan FOLDER [--recursive] [--json]: the batch window's folder table.
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "batch/batch_table.h"
#include "batch/folder_scan.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "settings/settings.h"

namespace cli {

namespace {

constexpr const char* kUsage = "usage: tessaly-cli scan FOLDER [--recursive] [--json]\n";

std::size_t Characters(const std::string& text) {
    std::size_t count = 0;
    for (unsigned char c : text) count += (c & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

// Keyed by the field names of the batch table; the two file name fields are names, the
// others texts (see json.h).
void PrintJson(const batch::BatchTable& table, std::ostream& out) {
    JsonWriter json;
    json.BeginArray();
    for (const batch::BatchRow& row : table.rows) {
        json.BeginObject();
        for (int c = 0; c < batch::kColumnCount; ++c) {
            json.Key(batch::kFields[static_cast<std::size_t>(c)].name);
            (c == batch::kFilename || c == batch::kFullFileName) ? json.Name(row[c]) : json.String(row[c]);
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

}  // namespace

int RunScan(const Args& args) {
    std::string folder;
    bool recursive = false;
    bool json = false;
    for (const auto& arg : args) {
        if (arg == "--recursive" || arg == "-r") {
            recursive = true;
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            std::cerr << "tessaly-cli scan: unknown option " << arg << "\n" << kUsage;
            return 2;
        } else if (folder.empty()) {
            folder = arg;
        } else {
            std::cerr << "tessaly-cli scan: one folder only\n" << kUsage;
            return 2;
        }
    }
    if (folder.empty()) {
        std::cerr << kUsage;
        return 2;
    }

    const settings::Settings ini(settings::DefaultSettingsPath());
    settings::SettingsTables tables;
    if (!settings::CargarCombos(ini, tables)) {
        std::cerr << "tessaly-cli: " << (ini.IsSpanish() ? "Error en el fichero de configuración." : "Error in config file.")
                  << "\n";
        return 1;
    }

    batch::BatchTable table;
    const batch::ScanResult result = batch::LoadFolder(table, folder, tables.ZoomTable, recursive);
    if (!result.ok) {
        std::cerr << "tessaly-cli scan: " << result.error << "\n";
        return 1;
    }
    for (const auto& skipped : result.skippedFolders) std::cerr << "tessaly-cli scan: cannot read folder " << skipped << "\n";
    if (json) {
        PrintJson(table, std::cout);
    } else {
        PrintTable(table, std::cout);
    }
    return 0;
}

}  // namespace cli
