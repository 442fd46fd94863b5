// tessaly-cli save FILE... : the editor's save, one file after another; with --replace or
// --rename, the batch window's save over the given files instead.
#include <iostream>
#include <string>

#include "cli/commands.h"
#include "cli/edit_args.h"
#include "cli/options.h"
#include "jnx/modif.h"
#include "edit/user_input.h"
#include "jnx/reader.h"
#include "jnx/regenerate.h"
#include "edit/resolve_edit.h"
#include "platform/fs.h"
#include "settings/settings.h"
#include "batch/batch_commands.h"

namespace cli {

namespace {

constexpr const char* kUsage =
    "usage: tessaly-cli save FILE... [--product-id N] [--group TEXT] [--draw-order N]\n"
    "                        [--to-version 3|4] [--level K=ZOOM] [--priority K] [--zoom K=N]\n"
    "                        [--replace] [--rename NEW] [--settings PATH]\n"
    "A file that keeps its version and can be patched is updated in place; any other is\n"
    "written anew as NAME_new.jnx beside it. ZOOM is a zoom row's name or 1-based number.\n"
    "With --replace or --rename the files are saved as the batch window saves them: all\n"
    "are checked first, and none is touched if one cannot be read. --replace puts a file\n"
    "written anew in its source's place, under the source's name. --rename NEW (one file\n"
    "only) renames a file updated in place to NEW in its folder; a file written anew keeps\n"
    "its name. --zoom does not go with either.\n";

const std::vector<OptionSpec> kOptions = {
    {"--product-id", true}, {"--group", true},    {"--draw-order", true}, {"--to-version", true},
    {"--level", true},      {"--priority", true}, {"--zoom", true},       {"--settings", true},
    {"--replace", false},   {"--rename", true},
};

// The batch window's save: its validation pass over all files first, then its row errors.
int SaveAsBatch(const ParsedArgs& parsed, const EditArgs& edit, const settings::Settings& config) {
    jnx::WriterSettings writer;
    writer.userLevel = config.UserLevel();
    writer.blockSize = config.BlockSize();
    const batch::SaveSummary summary =
        batch::SaveFilesAsBatch(parsed.positional, parsed.Last("--rename").value_or(""), edit.request, writer);
    if (summary.Refused()) {
        std::cerr << "tessaly-cli: " << platform::ErrorText(summary.refusal);
        // The window's wording speaks of its check marks; say what it means here.
        if (summary.refusal.code == platform::ErrorCode::RefuseErroneousChecked)
            std::cerr << " (a file cannot be read; info says why)";
        std::cerr << "\n";
        return 1;
    }
    for (const batch::RowOutcome& row : summary.rows) {
        switch (row.result) {
        case batch::RowResult::Updated:
            std::cout << "updated " << row.output << "\n";
            break;
        case batch::RowResult::Created:
            std::cout << (edit.request.chkRemoveOld ? "replaced " : "created ") << row.output << "\n";
            break;
        default:
            std::cerr << row.path << ": " << platform::ErrorText(row.error) << "\n";
            break;
        }
    }
    return summary.errors > 0 ? 1 : 0;
}

// One file as the editor saves it: patched in place or written anew beside it.
bool SaveOne(const std::string& file, const EditArgs& edit, const settings::Settings& config) {
    jnx::JnxDocument doc;
    doc.FileName = file;
    std::int32_t totalTiles = 0;
    std::string failure;
    if (!jnx::ReadJnx(doc, file, totalTiles, failure, true)) {
        std::cerr << file << ": " << failure << "\n";
        return false;
    }
    edit::EditorValues request;
    jnx::WriterSettings writer;
    if (failure = RequestForFile(edit, doc, config, request, writer); !failure.empty()) {
        std::cerr << file << ": " << failure << "\n";
        return false;
    }
    edit::ResolvedEdit resolved;
    platform::Error error;
    if (edit::ResolveEdit(request, doc, file, writer, edit::Purpose::Save, resolved, error)) {
        if (resolved.road == edit::Road::Patch) {
            if (jnx::ModifJNX(doc, resolved.values, file, error)) {
                std::cout << "updated " << file << "\n";
                return true;
            }
        } else if (jnx::RegenerateJnx(doc, resolved.values, resolved.version, file, resolved.outputPath, writer,
                                      error)) {
            std::cout << "created " << resolved.outputPath << "\n";
            return true;
        }
    }
    std::cerr << file << ": Errors in JNX generation. " << platform::ErrorText(error) << "\n";
    return false;
}

}  // namespace

int RunSave(const Args& args) {
    ParsedArgs parsed;
    const std::string error = ParseArgs(args, kOptions, parsed);
    if (parsed.help) {
        std::cout << kUsage;
        return 0;
    }
    if (!error.empty()) return UsageError(error, kUsage);
    if (parsed.positional.empty()) return UsageError("no files given", kUsage);
    const bool asBatch = parsed.Has("--replace") || parsed.Has("--rename");
    if (const auto name = parsed.Last("--rename")) {
        if (parsed.positional.size() != 1) return UsageError("--rename takes a single file", kUsage);
        if (edit::Trim(*name).empty()) return UsageError("--rename needs a file name", kUsage);
    }
    // The batch window writes no zoom numbers; that is the editor's alone.
    if (asBatch && parsed.Has("--zoom")) return UsageError("--zoom cannot go with --replace or --rename", kUsage);

    const settings::Settings config = LoadSettings(parsed);
    settings::SettingsTables tables;
    const bool haveTables = settings::CargarCombos(config, tables);
    if (!haveTables && parsed.Has("--level")) {
        std::cerr << "tessaly-cli: the settings file " << config.Path() << " has a malformed value\n";
        return 1;
    }
    EditArgs edit;
    if (const std::string bad = ParseEditArgs(parsed, haveTables ? &tables : nullptr, edit); !bad.empty()) {
        return UsageError(bad, kUsage);
    }
    if (asBatch) return SaveAsBatch(parsed, edit, config);

    int exitCode = 0;
    for (const std::string& file : parsed.positional) {
        if (!SaveOne(file, edit, config)) exitCode = 1;
    }
    return exitCode;
}

}  // namespace cli
