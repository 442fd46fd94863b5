// tessaly-cli split FILE LEVEL... : the editor's split, each named level a file of its own.
#include <algorithm>
#include <iostream>
#include <string>

#include "cli/commands.h"
#include "cli/edit_args.h"
#include "cli/options.h"
#include "compose/extract.h"
#include "edit/resolve_edit.h"
#include "jnx/reader.h"
#include "platform/fs.h"
#include "settings/settings.h"
#include "platform/text.h"

namespace cli {

namespace {

// The level numbers named, ascending, each once.
std::vector<int> LevelsNamed(const std::vector<std::string>& operands) {
    std::vector<int> levels;
    for (std::size_t i = 1; i < operands.size(); ++i) {
        const auto level = platform::ParseInt32(operands[i]);
        if (!level || *level < 1) throw UsageError("level " + operands[i] + ": not a level number");
        if (std::find(levels.begin(), levels.end(), *level) == levels.end()) levels.push_back(*level);
    }
    std::sort(levels.begin(), levels.end());
    return levels;
}

// The editor's split of one file: "" on success, else why it stopped. written gets the path
// of each level file as soon as it exists, so a later failure leaves the earlier ones listed.
template <typename OnWritten>
std::string SplitFile(const std::string& file, const std::vector<int>& levels, const EditArgs& edit,
                      const settings::Settings& config, const settings::SettingsTables& tables, OnWritten written) {
    jnx::JnxDocument doc;
    doc.FileName = file;
    std::int32_t totalTiles = 0;
    std::string failure;
    platform::Error readError;
    if (!jnx::ReadJnx(doc, file, totalTiles, readError, jnx::ReadDepth::Full)) return platform::ErrorText(readError);
    const auto levelCount = static_cast<int>(doc.Levels.size());
    if (levels.back() > levelCount) {
        return "level " + std::to_string(levels.back()) + " named, but the file has " + std::to_string(levelCount) +
               (levelCount == 1 ? " level" : " levels");
    }
    if (levelCount == 1) return "The file has only one level, no need to split it.";
    edit::EditorValues request;
    jnx::WriterSettings writer;
    if (failure = RequestForFile(edit, doc, config, request, writer); !failure.empty()) return failure;
    edit::ResolvedEdit resolved;
    platform::Error error;
    if (!edit::ResolveEdit(request, doc, file, writer, edit::Purpose::Split, resolved, error))
        return platform::ErrorText(error);
    // Every file in the way is named before any level is written.
    std::vector<std::string> outputs;
    for (const int level : levels) outputs.push_back(compose::LevelFilePath(file, level, tables.LevelDirs));
    if (!writer.overwrite) {
        for (const std::string& out : outputs)
            if (platform::NameTaken(out))
                return ErrorWithHint(platform::Error(platform::ErrorCode::OutputExists).File(out));
    }
    // A split stops at the first level that fails; files of earlier levels stay.
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const int level = levels[i];
        const std::string& out = outputs[i];
        if (!compose::ExtractLevel(doc, resolved.values, resolved.version, file, out, level, writer, error)) {
            return "level " + std::to_string(level) + ": Errors in JNX generation. " + platform::ErrorText(error);
        }
        written(out);
    }
    return "";
}

int Run(const ParsedArgs& parsed) {
    const std::string& file = parsed.operands.front();
    const std::vector<int> levels = LevelsNamed(parsed.operands);
    EditArgs edit;
    if (const std::string bad = ParseEditArgs(parsed, nullptr, edit); !bad.empty()) throw UsageError(bad);

    const settings::Settings config = LoadSettings(parsed);
    settings::SettingsTables tables;
    if (!settings::CargarCombos(config, tables)) {
        std::cerr << "tessaly-cli: the settings file " << config.Path() << " has a malformed value\n";
        return kExitFailed;
    }
    const std::string failure =
        SplitFile(file, levels, edit, config, tables, [](const std::string& out) { std::cout << out << "\n"; });
    if (failure.empty()) return kExitOk;
    std::cerr << file << ": " << failure << "\n";
    return kExitFailed;
}

}  // namespace

extern const Command kSplitCommand{
    "split", "FILE LEVEL...", 2, Command::kAny,
    "Write each named level (numbered from 1) as a file of its own, NAME_LevelK.jnx, in the folder the split "
    "settings give for that level, and print the path of each. A file already at one of those names stops the "
    "split before anything is written, unless --overwrite is given.",
    {
        kToVersionOption,
        kOverwriteOption,
        kSettingsOption,
    },
    Run,
};

}  // namespace cli
