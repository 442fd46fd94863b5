// tessaly-cli split FILE LEVEL... : the editor's split, each named level a file of its own.
#include <algorithm>
#include <iostream>
#include <string>

#include "cli/commands.h"
#include "cli/edit_args.h"
#include "cli/options.h"
#include "jnx/reader.h"
#include "operations/split_map.h"
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
// of each level file on disk, those before a level that failed too.
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
    jnx::WriterSettings writer;
    if (failure = FitToFile(edit, doc, config, writer); !failure.empty()) return failure;
    // Every file in the way is named before any level is written.
    if (!writer.overwrite) {
        for (const std::string& out : operations::SplitOutputs(file, levels, tables.LevelDirs))
            if (platform::NameTaken(out))
                return ErrorWithHint(platform::Error(platform::ErrorCode::OutputExists).File(out));
    }
    const operations::SplitOutcome outcome =
        operations::SplitMap(doc, file, edit.request, levels, tables.LevelDirs, writer);
    for (const std::string& out : outcome.written) written(out);
    if (outcome.failedLevel > 0)
        return "level " + std::to_string(outcome.failedLevel) + ": Errors in JNX generation. " +
               platform::ErrorText(outcome.error);
    if (!outcome.Ok()) return platform::ErrorText(outcome.error);
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
