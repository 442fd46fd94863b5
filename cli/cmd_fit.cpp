// tessaly-cli fit FILE... : each map made ready for the device without losing a
// pixel, as far as that can be done, in a new file beside it.
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/device_option.h"
#include "cli/finding_json.h"
#include "cli/json.h"
#include "cli/options.h"
#include "convert/fill_colour.h"
#include "operations/fit_map.h"
#include "platform/text.h"

namespace cli {

namespace {

using operations::FitOutcome;
using operations::FitRepair;

constexpr int kShownPerCode = 10;

std::string RepairText(const FitRepair& r) {
    switch (r.kind) {
        case FitRepair::Kind::JoinedLevel:
            return "level " + std::to_string(r.level) + ": " + std::to_string(r.before) + " tiles joined " +
                   std::to_string(r.factor) + " x " + std::to_string(r.factor) + " into " + std::to_string(r.after) +
                   (r.reencoded == 0 ? ""
                                     : ", " + std::to_string(r.reencoded) +
                                           " of them re-encoded, LOSSY: their tiles' tables differ");
        case FitRepair::Kind::Baseline:
            return std::to_string(r.after) + " progressive tiles written as baseline";
        case FitRepair::Kind::StrippedSoi:
            return std::to_string(r.after) + " tiles stripped of their FF D8";
        case FitRepair::Kind::ProductIdCopy:
            return "the product ID's copy put in step";
        case FitRepair::Kind::DrawOrder:
            return "draw order " + std::to_string(r.before) + " clamped to " + std::to_string(r.after);
    }
    return "";
}

const char* RepairName(FitRepair::Kind kind) {
    switch (kind) {
        case FitRepair::Kind::JoinedLevel:
            return "joined_level";
        case FitRepair::Kind::Baseline:
            return "baseline";
        case FitRepair::Kind::StrippedSoi:
            return "stripped_soi";
        case FitRepair::Kind::ProductIdCopy:
            return "product_id_copy";
        case FitRepair::Kind::DrawOrder:
            return "draw_order";
    }
    return "";
}

const char* ResultName(FitOutcome::Result result) {
    switch (result) {
        case FitOutcome::Result::Written:
            return "written";
        case FitOutcome::Result::Ready:
            return "ready";
        case FitOutcome::Result::Unmendable:
            return "unmendable";
        case FitOutcome::Result::Failed:
            break;
    }
    return "failed";
}

// What the user can do about a finding fit leaves, where another command does
// it.
const char* Suggestion(check::FindingCode code) {
    switch (code) {
        case check::FindingCode::LevelsOverLimit:
            return "split the map: tessaly-cli split FILE LEVEL...";
        case check::FindingCode::ScaleDuplicate:
            return "give each level a scale of its own: tessaly-cli save --level K=ROW";
        case check::FindingCode::ZoomDuplicate:
            return "give each level a zoom of its own: tessaly-cli save --zoom K=N";
        case check::FindingCode::ScaleFarFromImagery:
            return "fit each level's scale to its imagery: tessaly-cli save --fit-scales";
        default:
            return nullptr;
    }
}

void PrintText(const std::string& file, const FitOutcome& outcome) {
    switch (outcome.result) {
        case FitOutcome::Result::Failed:
            std::cerr << file << ": " << ErrorWithHint(outcome.error) << "\n";
            return;
        case FitOutcome::Result::Ready:
            std::cout << file << ": ready for the device; nothing written\n";
            return;
        case FitOutcome::Result::Unmendable:
            std::cout << file << ": nothing fit can mend without loss; nothing written\n";
            break;
        case FitOutcome::Result::Written:
            for (const std::string& written : outcome.outputs) std::cout << file << ": written " << written << "\n";
            break;
    }
    for (const FitRepair& r : outcome.repairs) std::cout << "  mended: " << RepairText(r) << "\n";
    for (const platform::Error& note : outcome.notes)
        std::cout << "  not mended: " << platform::ErrorText(note) << "\n";
    std::map<check::FindingCode, int> shown;
    for (const check::Finding& f : outcome.left) {
        if (shown[f.code]++ >= kShownPerCode) continue;
        std::string where;
        if (f.level > 0) where = "level " + std::to_string(f.level) + ": ";
        if (f.tile > 0) where = "level " + std::to_string(f.level) + ", tile " + std::to_string(f.tile) + ": ";
        std::cout << "  left: " << check::SeverityName(check::SeverityOf(f.code)) << " " << check::CodeName(f.code)
                  << ": " << where << check::FindingText(f) << "\n";
    }
    for (const auto& [code, n] : shown) {
        if (n > kShownPerCode)
            std::cout << "  ... and " << n - kShownPerCode << " more " << check::CodeName(code) << "\n";
        if (const char* hint = Suggestion(code)) std::cout << "  suggestion: " << hint << "\n";
    }
}

void PrintJson(JsonWriter& json, const std::string& file, const FitOutcome& outcome) {
    json.BeginObject();
    json.Key("file").Name(file);
    json.Key("result").String(ResultName(outcome.result));
    json.Key("ready").Bool(outcome.Ready());
    if (outcome.result == FitOutcome::Result::Written) {
        json.Key("output").Name(outcome.output);
        json.Key("outputs").BeginArray();
        for (const std::string& written : outcome.outputs) json.Name(written);
        json.EndArray();
    }
    if (!outcome.Ok()) {
        json.Key("error").BeginObject();
        json.Key("code").String(platform::ErrorCodeName(outcome.error.code));
        json.Key("message").String(platform::ErrorText(outcome.error));
        json.EndObject();
    }
    json.Key("mended").BeginArray();
    for (const FitRepair& r : outcome.repairs) {
        json.BeginObject();
        json.Key("kind").String(RepairName(r.kind));
        if (r.level > 0) json.Key("level").Int(r.level);
        if (r.kind == FitRepair::Kind::JoinedLevel) json.Key("factor").Int(r.factor).Key("reencoded").Int(r.reencoded);
        if (r.kind == FitRepair::Kind::JoinedLevel || r.kind == FitRepair::Kind::DrawOrder)
            json.Key("before").Int(r.before);
        if (r.kind != FitRepair::Kind::ProductIdCopy) json.Key("after").Int(r.after);
        json.Key("message").String(RepairText(r));
        json.EndObject();
    }
    json.EndArray();
    json.Key("not_mended").BeginArray();
    for (const platform::Error& note : outcome.notes) {
        json.BeginObject();
        json.Key("code").String(platform::ErrorCodeName(note.code));
        if (note.level > 0) json.Key("level").Int(note.level);
        json.Key("message").String(platform::ErrorText(note));
        json.EndObject();
    }
    json.EndArray();
    JsonFindings(json, "left", outcome.left);
    json.EndObject();
}

int Run(const ParsedArgs& parsed) {
    const auto out = parsed.Last("--out");
    if (out && parsed.operands.size() > 1) throw UsageError("--out names the output of one FILE only");
    operations::FitRequest base;
    if (const auto text = parsed.Last("--reencode")) {
        const auto quality = platform::ParseInt32(*text);
        if (!quality || *quality < 1 || *quality > 100)
            throw UsageError("--reencode " + *text + ": a JPEG quality from 1 to 100");
        base.reencodeQuality = *quality;
    }
    if (const auto text = parsed.Last("--fill")) {
        const auto colour = convert::ParseFillColour(*text);
        if (!colour) throw UsageError("--fill " + *text + ": white, black or #RRGGBB");
        base.fill = *colour;
    }
    // Scales are judged against the imagery only for a family the user names.
    settings::SettingsTables tables;
    if (parsed.Has("--device") || parsed.Has("--factor")) {
        const settings::Settings config = LoadSettings(parsed);
        base.scaleFactor = DeviceProfileOf(parsed, config).factor;
        if (!settings::CargarCombos(config, tables))
            throw std::runtime_error("the settings file " + config.Path() + " has a malformed value");
        base.zoomRows = &tables.ZoomTable;
    }
    const bool asJson = parsed.Has("--json");
    JsonWriter json;
    if (asJson) json.BeginObject().Key("files").BeginArray();
    bool allReady = true;
    for (const std::string& file : parsed.operands) {
        operations::FitRequest request = base;
        request.source = file;
        request.output = out.value_or("");
        request.overwrite = parsed.Has("--overwrite");
        const FitOutcome outcome = operations::FitMap(request);
        allReady = allReady && outcome.Ready();
        if (asJson) {
            PrintJson(json, file, outcome);
        } else {
            PrintText(file, outcome);
        }
    }
    if (asJson) {
        json.EndArray().EndObject();
        std::cout << json.Text() << "\n";
    }
    return allReady ? kExitOk : kExitFailed;
}

}  // namespace

extern const Command kFitCommand{
    "fit",
    "FILE...",
    1,
    Command::kAny,
    "Make each map ready for the device without losing a pixel, in a new file "
    "NAME_fit.jnx beside it: a level "
    "over 50000 tiles has its tiles joined 2 x 2 (else 4 x 4) into larger JPEG "
    "tiles by copying their coefficients, "
    "progressive tiles are written as baseline, tiles that keep their FF D8 "
    "lose it, the product ID's copy is put in "
    "step and a draw order outside 0-100 is clamped. The new file is checked "
    "as check --deep does before it "
    "appears. What cannot be mended so is listed with what to do about it; a "
    "map with nothing to mend is left as it "
    "is and no file is written. Exits 0 when every map is ready for the device "
    "(as written or as it was), 1 "
    "otherwise.",
    {
        {"--out", "OUT.jnx",
         "write the mended map to OUT.jnx (one FILE only); a file there is "
         "replaced"},
        kOverwriteOption,
        {"--reencode", "Q",
         "where a level's tiles cannot be joined losslessly because their quantisation tables or sampling differ, "
         "decode those groups and encode them again at JPEG quality Q (1 to 100): LOSSY, and counted in the "
         "output; without it such a level stays as it is"},
        {"--fill", "COLOUR", "the colour of a joined tile's missing neighbours: white (the default), black or #RRGGBB"},
        {"--device", "NAME",
         "also judge each level's scale against its imagery as units of this family show it (see `tessaly-cli "
         "devices`); such a finding is reported, with save --fit-scales to mend it"},
        kFactorOption,
        {"--json", nullptr, "print one JSON object with \"files\""},
        kSettingsOption,
    },
    Run,
};

}  // namespace cli
