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
#include "platform/fs.h"
#include "settings/settings.h"
#include "batch/batch_commands.h"

namespace cli {

namespace {

std::string NewFilePath(const std::string& path) {
    return platform::JoinPath(platform::ParentFolder(path), platform::BaseNameOf(path) + "_new.jnx");
}

// The batch window's save: its validation pass over all files first, then its row errors.
batch::SaveSummary SaveAsBatch(const ParsedArgs& parsed, const EditArgs& edit, const settings::Settings& config) {
    jnx::FixedEditorValues window;
    window.productId = edit.productIdText;
    window.familyGroup = edit.groupText;
    for (int k = 0; k < kLevelControls; ++k) {
        window.scaleChoice[k] = edit.scale[static_cast<std::size_t>(k)];
        window.priority[k] = edit.priority[static_cast<std::size_t>(k)];
    }
    batch::PanelValues panel;
    panel.targetVersion = edit.targetVersion;
    if (edit.drawOrder) panel.drawOrderText = std::to_string(*edit.drawOrder);
    panel.replaceSource = parsed.Has("--replace");
    jnx::WriterSettings writer;
    writer.userLevel = config.UserLevel();
    writer.blockSize = config.BlockSize();

    return batch::SaveFilesAsBatch(parsed.operands, parsed.Last("--rename").value_or(""), window, panel, writer);
}

int PrintBatchSummary(const batch::SaveSummary& summary, bool replaceSource) {
    if (summary.Refused()) {
        std::cerr << "tessaly-cli: " << batch::RefusalText(summary.refusal, false);
        // The window's wording speaks of its check marks; say what it means here.
        if (summary.refusal == batch::Refusal::ErroneousChecked) std::cerr << " (a file cannot be read; info says why)";
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
            std::cerr << row.path << ": " << row.error << "\n";
            break;
        }
    }
    return summary.errors > 0 ? kExitFailed : kExitOk;
}

// The editor's save of one file: what was written, or why nothing was.
struct FileOutcome {
    bool ok = false;
    std::string text;  // "updated PATH" / "created PATH", or the reason of the failure
};

FileOutcome SaveOne(const std::string& file, const EditArgs& edit, const settings::Settings& config) {
    jnx::JnxDocument doc;
    doc.FileName = file;
    std::int32_t totalTiles = 0;
    std::string failure;
    if (!jnx::ReadJnx(doc, file, totalTiles, failure, true)) return {false, failure};
    const Target target = TargetFor(edit, doc);
    jnx::FixedEditorValues values;
    jnx::WriterSettings writer;
    if (failure = PrepareFile(edit, doc, target, values, writer, config); !failure.empty()) return {false, failure};
    if (target.version == doc.Header.Version && !doc.NeedsRegeneration) {
        if (jnx::ModifJNX(doc, values, file, writer, failure)) return {true, "updated " + file};
    } else {
        const std::string out = NewFilePath(file);
        if (jnx::RegenerateJnx(doc, values, file, out, target.changed, target.version, writer, failure)) {
            return {true, "created " + out};
        }
    }
    return {false, "Errors in JNX generation. " + failure};
}

int Run(const ParsedArgs& parsed) {
    const bool asBatch = parsed.Has("--replace") || parsed.Has("--rename");
    if (const auto name = parsed.Last("--rename")) {
        if (parsed.operands.size() != 1) throw UsageError("--rename takes a single file");
        if (jnx::Trim(*name).empty()) throw UsageError("--rename needs a file name");
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
    if (asBatch) return PrintBatchSummary(SaveAsBatch(parsed, edit, config), parsed.Has("--replace"));

    int exitCode = kExitOk;
    for (const std::string& file : parsed.operands) {
        const FileOutcome outcome = SaveOne(file, edit, config);
        if (outcome.ok) {
            std::cout << outcome.text << "\n";
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
    "version and can be patched is updated in place; any other is written anew as NAME_new.jnx beside it. With "
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
        {"--replace", nullptr, "put a file written anew in its source's place, under the source's name"},
        {"--rename", "NEW", "(one file) rename a file updated in place to NEW; ignored for one written anew"},
        kSettingsOption,
    },
    Run,
};

}  // namespace cli
