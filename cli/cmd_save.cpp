// tessaly-cli save FILE... : the editor's save, one file after another; with --replace or
// --rename, the batch window's save over the given files instead.
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/device_option.h"
#include "cli/edit_args.h"
#include "cli/options.h"
#include "jnx/reader.h"
#include "operations/save_map.h"
#include "edit/resolve_edit.h"
#include "platform/file_lock.h"
#include "platform/fs.h"
#include "settings/settings.h"
#include "batch/batch_commands.h"
#include "platform/text.h"

namespace cli {

namespace {

// The batch window's save: its validation pass over all files first, then its row errors.
batch::SaveSummary SaveAsBatch(const ParsedArgs& parsed, const EditArgs& edit, const settings::Settings& config) {
    jnx::WriterSettings writer;
    writer.blockSize = config.BlockSize();
    writer.overwrite = edit.overwrite;
    return batch::SaveFilesAsBatch(parsed.operands, parsed.Last("--rename").value_or(""), edit.request, writer);
}

int PrintBatchSummary(const batch::SaveSummary& summary, bool replaceSource) {
    if (summary.Refused()) {
        std::cerr << "tessaly-cli: " << platform::ErrorText(summary.refusal);
        // The window's wording speaks of its check marks; say what it means here.
        if (summary.refusal.code == platform::ErrorCode::RefuseErroneousChecked)
            std::cerr << " (a file cannot be read; info says why)";
        std::cerr << "\n";
        return kExitFailed;
    }
    for (const batch::RowOutcome& row : summary.rows) {
        switch (row.result) {
        case batch::RowResult::Updated:
            std::cout << "updated " << row.output << "\n";
            break;
        case batch::RowResult::Created:
            std::cout << (replaceSource ? "replaced " : "created ") << row.output << "\n";
            break;
        default:
            std::cerr << row.path << ": " << ErrorWithHint(row.error) << "\n";
            break;
        }
    }
    return summary.errors > 0 ? kExitFailed : kExitOk;
}

// The editor's save of one file: what was written, or why nothing was.
struct FileOutcome {
    bool ok = false;
    std::string text;  // "updated PATH" / "created PATH", or the reason of the failure
    std::vector<int> levelsNotFitted{};
};

FileOutcome SaveOne(const std::string& file, const EditArgs& edit, const settings::Settings& config) {
    // Locked from before the read to after the write: a second save of the map waits, then
    // reads what this one wrote instead of writing over it.
    platform::FileLock lock;
    platform::Error lockError;
    if (!lock.Acquire(file, platform::kWriterPatience, lockError)) return {false, platform::ErrorText(lockError)};
    jnx::JnxDocument doc;
    doc.FileName = file;
    std::int32_t totalTiles = 0;
    std::string failure;
    platform::Error readError;
    if (!jnx::ReadJnx(doc, file, totalTiles, readError, jnx::ReadDepth::Full))
        return {false, platform::ErrorText(readError)};
    jnx::WriterSettings writer;
    if (failure = FitToFile(edit, doc, config, writer); !failure.empty()) return {false, failure};
    const operations::SaveOutcome saved = operations::SaveMap(doc, file, edit.request, writer, nullptr, &lock);
    if (saved.Ok())
        return {true, (saved.road == edit::Road::Patch ? "updated " : "created ") + saved.output,
                saved.levelsNotFitted};
    return {false, "Errors in JNX generation. " + ErrorWithHint(saved.error)};
}

int Run(const ParsedArgs& parsed) {
    const bool asBatch = parsed.Has("--replace") || parsed.Has("--rename");
    if (const auto name = parsed.Last("--rename")) {
        if (parsed.operands.size() != 1) throw UsageError("--rename takes a single file");
        if (platform::Trim(*name).empty()) throw UsageError("--rename needs a file name");
    }
    // The batch window writes no zoom numbers; that is the editor's alone.
    if (asBatch && parsed.Has("--zoom")) throw UsageError("--zoom cannot go with --replace or --rename");

    const settings::Settings config = LoadSettings(parsed);
    settings::SettingsTables tables;
    const bool haveTables = settings::CargarCombos(config, tables);
    if (!haveTables && parsed.Has("--level")) {
        std::cerr << "tessaly-cli: the settings file " << config.Path() << " has a malformed value\n";
        return kExitFailed;
    }
    EditArgs edit;
    if (const std::string bad = ParseEditArgs(parsed, haveTables ? &tables : nullptr, edit); !bad.empty()) {
        throw UsageError(bad);
    }
    if (edit.fitScales) edit.request.fitScalesFactor = DeviceProfileOf(parsed, config).factor;
    if (asBatch) return PrintBatchSummary(SaveAsBatch(parsed, edit, config), parsed.Has("--replace"));

    int exitCode = kExitOk;
    for (const std::string& file : parsed.operands) {
        const FileOutcome outcome = SaveOne(file, edit, config);
        if (outcome.ok) {
            std::cout << outcome.text << "\n";
            for (const int level : outcome.levelsNotFitted)
                std::cout << "level " << level << ": resolution unknown, scale kept\n";
        } else {
            std::cerr << file << ": " << outcome.text << "\n";
            exitCode = kExitFailed;
        }
    }
    return exitCode;
}

}  // namespace

extern const Command kSaveCommand{
    "save", "FILE...", 1, Command::kAny,
    "Write the given values into each file; a value not given keeps what the file holds. A file that keeps its "
    "version and can be patched is updated in place; any other is written anew as NAME_new.jnx beside it (a file "
    "already there is left as it is and the save fails, unless --overwrite is given). With "
    "--replace or --rename the files are saved as the batch window saves them: all are checked first, and none is "
    "touched if one cannot be read.",
    {
        {"--product-id", "N", "the product ID, a whole number from -32768 to 32767"},
        {"--group", "TEXT", "the family group name"},
        {"--draw-order", "N", "the draw order (version 4), a whole number from -32768 to 32767"},
        kToVersionOption,
        {"--level", "K=ZOOM", "give level K (1 to 5) the scale of a zoom row, named or numbered from 1", true},
        {"--priority", "K", "write level K one below its zoom row's scale; needs --level K=ZOOM", true},
        {"--zoom", "K=N", "set the zoom number of level K", true},
        {"--fit-scales", nullptr,
         "give every level the scale at which the device first shows it at about its own pixel size, measured "
         "from its tiles (a level of unknown resolution keeps its scale); not with --level or --priority"},
        kDeviceOption,
        kFactorOption,
        {"--replace", nullptr, "put a file written anew in its source's place, under the source's name"},
        {"--rename", "NEW", "(one file) rename a file updated in place to NEW; ignored for one written anew"},
        kOverwriteOption,
        kSettingsOption,
    },
    Run,
};

}  // namespace cli
