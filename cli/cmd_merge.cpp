// tessaly-cli merge: the batch window's merge over files given in order.
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "compose/merge_plan.h"
#include "compose/merge_write.h"
#include "edit/user_input.h"
#include "jnx/reader.h"
#include "platform/fs.h"
#include "settings/settings.h"

namespace cli {
namespace {

constexpr const char* kMergeUsage =
    "usage: tessaly-cli merge FILE... [--out DIR] [--to-version 3|4] [--product-id N]\n"
    "                         [--group TEXT] [--draw-order N] [--settings PATH]\n"
    "Joins files of the same area into one file of at most five levels, named\n"
    "<yyyymmddhhmmss>join.jnx, in DIR or in the merge folder of the settings\n"
    "(\"$CURRENT\" = the folder of the first file). Prints the path of the new file.\n";

int UsageError(const std::string& message) {
    std::cerr << "tessaly-cli merge: " << message << "\n" << kMergeUsage;
    return 2;
}

// Message boxes break lines with CR LF; a terminal wants LF.
std::string ForTerminal(std::string text) {
    std::size_t at = 0;
    while ((at = text.find("\r\n", at)) != std::string::npos) text.erase(at, 1);
    return text;
}

struct MergeOptions {
    std::vector<std::string> files;
    std::optional<std::string> out;
    std::optional<std::string> settingsPath;
    edit::EditorValues request;
};

// Returns an error text, or "" when the arguments are good.
std::string ParseArgs(const Args& args, MergeOptions& options, bool& help) {
    bool onlyFiles = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyFiles || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            options.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyFiles = true;
            continue;
        }
        if (arg == "--help") {
            help = true;
            return {};
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (const auto eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        const bool known = name == "--out" || name == "--to-version" || name == "--product-id" ||
                           name == "--group" || name == "--draw-order" || name == "--settings";
        if (!known) return "unknown option " + name;
        if (!value) {
            if (i + 1 >= args.size()) return name + " needs a value";
            value = args[++i];
        }
        if (name == "--out") {
            if (value->empty()) return "--out needs a folder";
            options.out = *value;
        } else if (name == "--settings") {
            options.settingsPath = *value;
        } else if (name == "--to-version") {
            if (*value != "3" && *value != "4") return "--to-version must be 3 or 4";
            options.request.cboActualizar = *value == "3" ? 3 : 4;
        } else if (name == "--product-id") {
            if (!edit::ParseInt16(*value)) return "--product-id must be a whole number from -32768 to 32767";
            options.request.txtProductID = *value;
        } else if (name == "--draw-order") {
            if (!edit::ParseInt32(*value)) return "--draw-order must be a whole number";
            options.request.txtDrawOrder = *value;
        } else if (name == "--group") {
            options.request.txtFamiliGroup = *value;
        }
    }
    return {};
}

std::string FolderOf(const std::string& file) {
    std::error_code ec;
    auto absolute = std::filesystem::absolute(std::filesystem::path(file), ec);
    if (ec) return ".";
    const std::string folder = platform::ParentFolder(absolute.lexically_normal().string());
    return folder.empty() ? "/" : folder;
}

}  // namespace

int RunMerge(const Args& args) {
    MergeOptions options;
    bool help = false;
    if (const std::string error = ParseArgs(args, options, help); !error.empty()) return UsageError(error);
    if (help) {
        std::cout << kMergeUsage;
        return 0;
    }
    if (options.files.empty()) return UsageError("no files given");

    const settings::Settings config(options.settingsPath ? *options.settingsPath : settings::DefaultSettingsPath());

    // Each file stands for a checked row of the batch table, read the way the folder scan reads it.
    jnx::JnxDocument doc;
    std::vector<compose::MergeSource> sources;
    for (const auto& file : options.files) {
        compose::MergeSource source;
        source.path = file;
        std::int32_t tiles = 0;
        std::string error;
        if (jnx::ReadJnx(doc, file, tiles, error, false)) {
            source.version = doc.Header.Version;
            source.levelCount = doc.Header.LevelCount;
            source.totalTiles = tiles;
            source.content = compose::MergeContentOf(doc);
        } else {
            source.erroneous = true;
            std::cerr << "tessaly-cli merge: " << file << ": " << error << "\n";
        }
        sources.push_back(std::move(source));
    }

    compose::MergeFolderRule folder;
    if (options.out) {
        folder.currentFolder = *options.out;
    } else {
        folder.mergeDir = config.MergeDir();
        folder.currentFolder = FolderOf(options.files.front());
    }

    const compose::MergePlanning planning = compose::PlanMerge(sources, options.request, folder);
    if (planning.outcome == compose::MergePlanning::Outcome::Refused) {
        std::cerr << platform::ErrorText(planning.error) << "\n";
        return 1;
    }
    if (planning.outcome == compose::MergePlanning::Outcome::Failed) {
        std::cerr << "Error merging files.\n" << ForTerminal(platform::ErrorText(planning.error)) << "\n";
        return 1;
    }

    std::string output;
    platform::Error error;
    if (!compose::WriteMerge(planning.plan, doc, output, error)) {
        std::cerr << "Error merging files.\n" << ForTerminal(platform::ErrorText(error)) << "\n";
        return 1;
    }
    std::cout << output << "\n";
    return 0;
}

}  // namespace cli
