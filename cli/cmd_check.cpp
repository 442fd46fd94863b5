// tessaly-cli check: whether maps will work on the device, as the core judges them.
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/device_option.h"
#include "cli/finding_json.h"
#include "cli/json.h"
#include "cli/options.h"
#include "operations/check_maps.h"
#include "settings/settings.h"

namespace cli {

namespace {

// A readable report of a map with thousands of misplaced tiles stays readable: the JSON
// carries every finding.
constexpr int kShownPerCode = 10;

using CheckRun = operations::CheckOutcome;

std::string Counted(std::size_t n, const char* one) {
    return std::to_string(n) + " " + one + (n == 1 ? "" : "s");
}

void PrintFindings(const std::vector<check::Finding>& findings, std::ostream& out) {
    std::map<check::FindingCode, int> shown;
    std::map<check::FindingCode, int> hidden;
    for (const auto& f : findings) {
        if (shown[f.code]++ >= kShownPerCode) {
            ++hidden[f.code];
            continue;
        }
        std::string where;
        if (f.level > 0) where = "level " + std::to_string(f.level);
        if (f.tile > 0) where += ", tile " + std::to_string(f.tile);
        out << "  " << check::SeverityName(check::SeverityOf(f.code)) << " " << check::CodeName(f.code) << ": "
            << (where.empty() ? "" : where + ": ") << check::FindingText(f) << "\n";
    }
    for (const auto& [code, n] : hidden) out << "  ... and " << n << " more " << check::CodeName(code) << "\n";
}

void PrintText(const CheckRun& run, std::ostream& out) {
    for (const auto& map : run.maps) {
        if (!map.read && map.findings.empty()) {
            out << map.path << ": cannot be read: " << platform::ErrorText(map.error) << "\n";
            continue;
        }
        const std::size_t errors = check::CountOf(map.findings, check::Severity::Error);
        const std::size_t warnings = check::CountOf(map.findings, check::Severity::Warning);
        const std::size_t notes = check::CountOf(map.findings, check::Severity::Info);
        out << map.path << ": "
            << (errors + warnings == 0 ? "ready for the device"
                                       : Counted(errors, "error") + ", " + Counted(warnings, "warning"))
            << (notes > 0 ? ", " + Counted(notes, "note") : "") << "\n";
        if (!map.read) out << "  cannot be read: " << platform::ErrorText(map.error) << "\n";
        PrintFindings(map.findings, out);
    }
    for (const auto& folder : run.folders) {
        if (folder.findings.empty()) continue;
        out << folder.folder << ": " << Counted(folder.jnxFiles.size(), "JNX file") << "\n";
        PrintFindings(folder.findings, out);
    }
    if (run.deviceError) out << "device: cannot be read: " << platform::ErrorText(run.deviceError) << "\n";
    if (run.device) {
        out << "device: " << Counted(run.device->maps.size(), "map") << ", "
            << Counted(std::size_t(run.device->images), "Custom Maps image") << "\n";
        for (const auto& file : run.device->unreadable) out << "  not counted, cannot be read: " << file << "\n";
        PrintFindings(run.device->findings, out);
    }
}

void PrintJson(const CheckRun& run, std::ostream& out) {
    JsonWriter json;
    json.BeginObject();
    json.Key("files").BeginArray();
    for (const auto& map : run.maps) {
        json.BeginObject();
        json.Key("file").Name(map.path);
        json.Key("ok").Bool(map.Ok());
        if (!map.read) json.Key("error").String(platform::ErrorText(map.error));
        JsonFindings(json, "findings", map.findings);
        json.EndObject();
    }
    json.EndArray();
    json.Key("folders").BeginArray();
    for (const auto& folder : run.folders) {
        json.BeginObject();
        json.Key("folder").Name(folder.folder);
        json.Key("jnx_files").Int(std::int64_t(folder.jnxFiles.size()));
        JsonFindings(json, "findings", folder.findings);
        json.EndObject();
    }
    json.EndArray();
    if (run.deviceError || run.device) {
        json.Key("device").BeginObject();
        json.Key("ok").Bool(!run.deviceError);
        if (run.deviceError) json.Key("error").String(platform::ErrorText(run.deviceError));
        if (run.device) {
            json.Key("maps").Int(std::int64_t(run.device->maps.size()));
            json.Key("images").Int(run.device->images);
            json.Key("unreadable").BeginArray();
            for (const auto& file : run.device->unreadable) json.Name(file);
            json.EndArray();
            JsonFindings(json, "findings", run.device->findings);
        }
        json.EndObject();
    }
    json.EndObject();
    out << json.Text() << "\n";
}

int Run(const ParsedArgs& parsed) {
    const settings::Settings config = LoadSettings(parsed);
    settings::SettingsTables tables;
    // The zoom rows only name a repeated scale: a check goes on without them.
    const bool haveRows = settings::CargarCombos(config, tables);
    if (!haveRows) std::cerr << "tessaly-cli check: the settings file " << config.Path() << " has a malformed value\n";
    const auto* rows = haveRows ? &tables.ZoomTable : nullptr;
    const bool deep = parsed.Has("--deep");
    const std::vector<std::string>& roots = parsed.All("--device-root");
    if (parsed.operands.empty() && roots.empty()) throw UsageError("name a map, a folder or a --device-root");
    const settings::DeviceProfile profile = DeviceProfileOf(parsed, config);

    const operations::CheckOutcome run =
        operations::CheckMaps(parsed.operands, deep, parsed.Has("--recursive"), rows, profile, roots);

    if (parsed.Has("--json")) {
        PrintJson(run, std::cout);
    } else {
        PrintText(run, std::cout);
    }
    return run.Ok() ? kExitOk : kExitFailed;
}

}  // namespace

extern const Command kCheckCommand{
    "check", "[PATH...]", 0, Command::kAny,
    "Tell whether maps will work on the device: each map (or each JNX file of a folder) is read in full and judged "
    "against the unit's limits (levels, tiles per level, file length, draw order), repeated zooms and scales, the "
    "product ID's copy that desktop software reads, the map's bounds, its tiles, and whether each level's scale fits "
    "its imagery under the device profile. With --device-root, the maps under Garmin/BirdsEye of every root are "
    "checked too, and the device as a whole: maps and Custom Maps images against the profile's budgets, product IDs "
    "under different groups, repeated map GUIDs, overlapping maps of one draw order. Exits 1 when a map cannot be read "
    "or has an error; warnings and notes (severity info) alone exit 0. Never writes.",
    {
        {"--deep", nullptr, "also walk each tile's JPEG header up to its frame (no decoding)"},
        {"--recursive", nullptr, "include the subfolders of a folder", false, "-r"},
        {"--device-root", "MOUNT", "a mount point of the device (internal memory or card); give each", true},
        kDeviceOption,
        kFactorOption,
        {"--json", nullptr, "print one JSON object with \"files\", \"folders\" and, with --device-root, \"device\""},
        kSettingsOption,
    },
    Run,
};

}  // namespace cli
