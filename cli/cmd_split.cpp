// tessaly-cli split FILE LEVEL... : the editor's split, each named level a file of its own.
#include <algorithm>
#include <iostream>
#include <string>

#include "cli/commands.h"
#include "cli/edit_args.h"
#include "cli/options.h"
#include "compose/extract.h"
#include "edit/resolve_edit.h"
#include "edit/user_input.h"
#include "jnx/reader.h"
#include "settings/settings.h"

namespace cli {

namespace {

constexpr const char* kUsage =
    "usage: tessaly-cli split FILE LEVEL... [--to-version 3|4] [--settings PATH]\n"
    "Writes level K as NAME_LevelK.jnx in the split folder the settings give for it.\n";

}  // namespace

int RunSplit(const Args& args) {
    ParsedArgs parsed;
    const std::string error = ParseArgs(args, {{"--to-version", true}, {"--settings", true}}, parsed);
    if (parsed.help) {
        std::cout << kUsage;
        return 0;
    }
    if (!error.empty()) return UsageError(error, kUsage);
    if (parsed.positional.size() < 2) return UsageError("give a file and at least one level", kUsage);
    const std::string file = parsed.positional[0];

    std::vector<int> levels;
    for (std::size_t i = 1; i < parsed.positional.size(); ++i) {
        const auto level = edit::ParseInt32(parsed.positional[i]);
        if (!level || *level < 1) return UsageError("level " + parsed.positional[i] + ": not a level number", kUsage);
        if (std::find(levels.begin(), levels.end(), *level) == levels.end()) levels.push_back(*level);
    }
    std::sort(levels.begin(), levels.end());

    EditArgs edit;
    if (const std::string bad = ParseEditArgs(parsed, nullptr, edit); !bad.empty()) return UsageError(bad, kUsage);

    const settings::Settings config = LoadSettings(parsed);
    settings::SettingsTables tables;
    if (!settings::CargarCombos(config, tables)) {
        std::cerr << "tessaly-cli: the settings file " << config.Path() << " has a malformed value\n";
        return 1;
    }

    jnx::JnxDocument doc;
    doc.FileName = file;
    std::int32_t totalTiles = 0;
    std::string failure;
    if (!jnx::ReadJnx(doc, file, totalTiles, failure, true)) {
        std::cerr << file << ": " << failure << "\n";
        return 1;
    }
    const auto levelCount = static_cast<int>(doc.Levels.size());
    if (levels.back() > levelCount) {
        std::cerr << file << ": level " << levels.back() << " named, but the file has " << levelCount
                  << (levelCount == 1 ? " level\n" : " levels\n");
        return 1;
    }
    if (levelCount == 1) {
        std::cerr << file << ": The file has only one level, no need to split it.\n";
        return 1;
    }
    edit::EditorValues request;
    jnx::WriterSettings writer;
    if (failure = RequestForFile(edit, doc, config, request, writer); !failure.empty()) {
        std::cerr << file << ": " << failure << "\n";
        return 1;
    }
    edit::ResolvedEdit resolved;
    platform::Error writeError;
    if (!edit::ResolveEdit(request, doc, file, writer, edit::Purpose::Split, resolved, writeError)) {
        std::cerr << file << ": " << platform::ErrorText(writeError) << "\n";
        return 1;
    }
    // A split stops at the first level that fails; files of earlier levels stay.
    for (const int level : levels) {
        const std::string out = compose::LevelFilePath(file, level, tables.LevelDirs);
        if (!compose::ExtractLevel(doc, resolved.values, resolved.version, file, out, level, writer, writeError)) {
            std::cerr << file << ": level " << level << ": Errors in JNX generation. " << platform::ErrorText(writeError)
                      << "\n";
            return 1;
        }
        std::cout << out << "\n";
    }
    return 0;
}

}  // namespace cli
