// tessaly-cli merge: the batch window's merge over files given in order.
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/edit_args.h"
#include "compose/merge_plan.h"
#include "operations/merge_maps.h"
#include "edit/resolve_edit.h"
#include "jnx/reader.h"
#include "platform/fs.h"
#include "settings/settings.h"

namespace cli {
namespace {

// The merge panel's values from the options, checked before any file is read.
edit::EditRequest RequestOf(const ParsedArgs& parsed) {
    EditArgs edit;
    if (const std::string bad = ParseEditArgs(parsed, nullptr, edit); !bad.empty()) throw UsageError(bad);
    return edit.request;
}

std::string FolderOf(const std::string& file) {
    std::error_code ec;
    auto absolute = std::filesystem::absolute(std::filesystem::path(file), ec);
    if (ec) return ".";
    const std::string folder = platform::ParentFolder(absolute.lexically_normal().string());
    return folder.empty() ? "/" : folder;
}

// Each file stands for a checked row of the batch table, read the way the folder scan reads it
// (without tile tables).
std::vector<compose::MergeSource> ReadSources(const std::vector<std::string>& files) {
    jnx::JnxDocument doc;
    std::vector<compose::MergeSource> sources;
    for (const auto& file : files) {
        compose::MergeSource source;
        source.path = file;
        std::int32_t tiles = 0;
        platform::Error error;
        if (jnx::ReadJnx(doc, file, tiles, error, jnx::ReadDepth::Quick)) {
            source.version = doc.Header.Version;
            source.levelCount = doc.Header.LevelCount;
            source.totalTiles = tiles;
            source.content = compose::MergeContentOf(doc);
        } else {
            source.erroneous = true;
            std::cerr << "tessaly-cli merge: " << file << ": " << platform::ErrorText(error) << "\n";
        }
        sources.push_back(std::move(source));
    }
    return sources;
}

int Run(const ParsedArgs& parsed) {
    const edit::EditRequest request = RequestOf(parsed);
    const auto out = parsed.Last("--out");
    if (out && out->empty()) throw UsageError("--out needs a folder");
    const settings::Settings config = LoadSettings(parsed);

    const std::vector<compose::MergeSource> sources = ReadSources(parsed.operands);

    compose::MergeFolderRule folder;
    if (out) {
        folder.currentFolder = *out;
    } else {
        folder.mergeDir = config.MergeDir();
        folder.currentFolder = FolderOf(parsed.operands.front());
    }

    const compose::LevelOrder order =
        parsed.Has("--coarse-to-fine") ? compose::LevelOrder::CoarseToFine : compose::LevelOrder::AsGiven;
    const operations::MergeOutcome outcome = operations::MergeMaps(sources, request, folder, order);
    if (outcome.result == operations::MergeOutcome::Result::Refused) {
        std::cerr << platform::ErrorText(outcome.error) << "\n";
        return kExitFailed;
    }
    if (!outcome.Ok()) {
        std::cerr << "Error merging files.\n" << platform::ErrorText(outcome.error) << "\n";
        return kExitFailed;
    }
    const std::string& output = outcome.output;
    std::cout << output << "\n";
    return kExitOk;
}

}  // namespace

extern const Command kMergeCommand{
    "merge", "FILE...", 1, Command::kAny,
    "Join files of the same area into one new file of at most five levels, named <yyyymmddhhmmss>join.jnx, in DIR "
    "or in the merge folder of the settings ($CURRENT: the folder of the first file), and print its path.",
    {
        {"--out", "DIR", "write the merged file into DIR"},
        kToVersionOption,
        {"--product-id", "N", "the product ID, a whole number from -32768 to 32767 (default: the first file's)"},
        {"--group", "TEXT", "the family group name (default: the first file's)"},
        {"--draw-order", "N", "the draw order, a whole number from -32768 to 32767 (default: 25)"},
        {"--coarse-to-fine", nullptr,
         "write the levels from the largest scale to the smallest (default: in the order of the files and their "
         "levels)"},
        kSettingsOption,
    },
    Run,
};

}  // namespace cli
